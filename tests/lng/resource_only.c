/* A language module holds string resources only; this gives the linker a unit. */
int zu_language_module_marker = 1;
