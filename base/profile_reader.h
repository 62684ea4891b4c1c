// Reading a script, an INI file: "[SECTION]" lines open a
// section, "key = value" lines give a value. Section and key names match without
// regard to case; the value is everything after the first "=", with leading and
// trailing blanks removed. A missing file, section or key and an empty value all
// read as the empty string. CRLF line ends and a UTF-8 byte-order mark are
// accepted; lines starting with ";" or "#" are comments; the first occurrence of
// a key wins. Any bytes are read without failing.
#pragma once
#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>

// The small interface the commands (and the audit) read scripts through.
class ProfileReader {
public:
    virtual ~ProfileReader() = default;
    virtual std::string read(std::string_view section, std::string_view key) const = 0;
};

// An INI file read once, when constructed.
class IniProfile final : public ProfileReader {
public:
    explicit IniProfile(const std::string& path);
    // Whether the file was a regular file that could be read.
    bool loaded() const { return loaded_; }
    // Parses text as the content of a script (for tests and fuzzing).
    static IniProfile fromText(std::string text);
    std::string read(std::string_view section, std::string_view key) const override;

private:
    IniProfile() = default;
    std::string text_;
    bool loaded_ = false;
};

