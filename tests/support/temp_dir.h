// A temporary folder for one test, removed with everything in it afterwards,
// and UTF-16 paths inside it for the module's file functions.
#ifndef ZU_TESTS_TEMP_DIR_H
#define ZU_TESTS_TEMP_DIR_H

#include <filesystem>
#include <string>

#include "zuinstr/zuinstr_types.h"

namespace zu::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path File(const std::string& name) const { return path_ / name; }
    // The file's path as the module takes it (UTF-16).
    std::basic_string<WCHAR> WidePath(const std::string& name) const;

private:
    std::filesystem::path path_;
};

std::basic_string<WCHAR> Widen(const std::string& utf8);
std::string ReadFileBytes(const std::filesystem::path& p);
void WriteFileBytes(const std::filesystem::path& p, const std::string& bytes);

}  // namespace zu::test

#endif
