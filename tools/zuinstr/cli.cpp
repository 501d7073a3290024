#include "cli.h"

#include <cstdio>

namespace zutool {

int RunFormats(const Args& args);
int RunIdentify(const Args& args);
int RunWaves(const Args& args);
int RunExtract(const Args& args);
int RunInfo(const Args& args);
int RunConvert(const Args& args);
int RunReplace(const Args& args);
int RunExportWaves(const Args& args);
int RunImportWaves(const Args& args);

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"formats", "list the instrument formats the module serves",
         "zuinstr formats [--json] [--module PATH]\n"
         "  Loads the module and prints each format class it serves: class identifier,\n"
         "  name and capabilities (read, render), as the module's plug-in information\n"
         "  object reports them.\n"
         "  --json          one JSON object instead of a table\n"
         "  --module PATH   the module to load (default: beside this program)\n",
         {"--module"}, &RunFormats},
        {"identify", "tell which format class accepts a file",
         "zuinstr identify FILE [--json] [--module PATH]\n"
         "  Hands the file's first bytes to each format class of the module and prints\n"
         "  the one that accepts it (with its name in the module's language), or the\n"
         "  module's message for the refusal.\n"
         "  --lang LCID     the language the module speaks (1033 English, 1031 German,\n"
         "                  1036 French, 1041 Japanese, 1045 Polish, 1049 Russian,\n"
         "                  2052 Chinese, 3082 Spanish)\n",
         {"--module", "--lang"}, &RunIdentify},
        {"info", "show the INFO texts, instruments, regions and waves of a file",
         "zuinstr info FILE [--json] [--module PATH]\n"
         "  Prints the format, the INFO texts, each instrument (SoundFont 2: preset)\n"
         "  with bank, program, drum flag and name, its regions with key ranges and\n"
         "  layers, and the wave each layer plays, all through the module's metadata\n"
         "  interfaces.\n",
         {"--module"}, &RunInfo},
        {"waves", "list the waves (samples) of an instrument",
         "zuinstr waves FILE [--json] [--module PATH]\n"
         "  Prints each wave of the instrument: index, name, format, frames, duration.\n",
         {"--module"}, &RunWaves},
        {"extract", "write the wave pool, or one wave, as a WAV file",
         "zuinstr extract FILE [--wave N] -o OUT.wav [--quiet] [--module PATH]\n"
         "  Without --wave: every wave joined end to end in the pool's format (the\n"
         "  aggregated stream). With --wave N: wave N alone, in its own format.\n",
         {"--module", "--wave", "-o", "--output"}, &RunExtract},
        {"convert", "save an instrument again through the module's render class",
         "zuinstr convert SRC DST [--quiet] [--module PATH]\n"
         "  Opens SRC and saves its audio and instrument data as DST (DLS, GIG or\n"
         "  SoundFont 2 by DST's extension; the instrument must be of that kind).\n"
         "  The file is rendered beside DST and takes DST's place only when the save\n"
         "  succeeded, so DST may be SRC itself.\n",
         {"--module"}, &RunConvert},
        {"replace", "save an instrument with edited audio",
         "zuinstr replace SRC --audio EDITED.wav -o DST [--quiet] [--module PATH]\n"
         "  Saves SRC's instrument data with the audio of EDITED.wav in place of its\n"
         "  wave pool (the aggregated stream 'zuinstr extract' writes). The WAV must\n"
         "  hold the pool's frame count; another sample format is converted into each\n"
         "  wave's own format. Saved safely, as convert is.\n",
         {"--module", "--audio", "-o", "--output"}, &RunReplace},
        {"export-waves", "write every wave as its own WAV file, for editing",
         "zuinstr export-waves FILE DIR [--quiet] [--module PATH]\n"
         "  Writes wave N of FILE, in its own format, as DIR/NNN-Name.wav, and a\n"
         "  manifest.json listing the files. DIR is created when missing.\n",
         {"--module"}, &RunExportWaves},
        {"import-waves", "save an instrument with edited wave files",
         "zuinstr import-waves SRC DIR -o DST [--quiet] [--module PATH]\n"
         "  Saves SRC's instrument data with wave N taken from DIR/NNN-*.wav (as\n"
         "  export-waves names them). A file may hold another sample format (it is\n"
         "  converted into the wave's own) or another length (SoundFont 2 loop points\n"
         "  move with their sample; one the new length cuts off is clamped to it, and\n"
         "  the tool says so); channels and rate must stay.\n"
         "  Saved safely, as convert is.\n",
         {"--module", "-o", "--output"}, &RunImportWaves},
    };
    return commands;
}

std::string GuidText(const GUID& g) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

std::string Utf8(const WCHAR* text) {
    std::string out;
    if (!text) return out;
    for (size_t i = 0; text[i]; ++i) {
        uint32_t c = static_cast<uint16_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(text[i + 1]) - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

}  // namespace zutool
