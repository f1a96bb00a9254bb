// TOptions: the one way into the viewer's stored settings, a key of the
// current user's registry. Strings, integers and booleans are stored as
// scrambled text (integers as their decimal text, booleans as "1" or "0"),
// binary values as they are. Callers create one, read or write what they
// need and free it at once; nothing is kept in memory.
#pragma once

#include <QString>

#include <cstdint>
#include <span>
#include <stdexcept>

#include "platform/registry/registry.h"

namespace brevant {

// The key below HKEY_CURRENT_USER\Software of the viewer's settings.
inline constexpr char16_t kSettingsPath[] = u"Corvane\\LumbraGUI";

// A value that could not be written.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TOptions {
public:
    // Opens HKEY_CURRENT_USER\Software\<path>, creating it when missing. A
    // key that cannot be opened is not reported: reads then give their
    // defaults and string writes fail.
    explicit TOptions(const QString& path = QString::fromUtf16(kSettingsPath));
    ~TOptions();
    TOptions(const TOptions&) = delete;
    TOptions& operator=(const TOptions&) = delete;

    // The unscrambled text; def when the value is missing, not a string,
    // empty once unscrambled, or cannot be read.
    QString ReadString(const QString& name, const QString& def) const;
    // The stored decimal text as a number; def when there is none.
    int ReadInteger(const QString& name, int def) const;
    // The stored number, non-zero meaning true; def when there is none.
    bool ReadBool(const QString& name, bool def) const;
    // Reads the binary value into buffer and answers the bytes read; 0 when
    // it is missing, of another type or larger than the buffer.
    int ReadBinary(const QString& name, std::span<std::uint8_t> buffer) const;

    // Scrambled string writes; SettingsError when the registry refuses.
    void WriteString(const QString& name, const QString& text);
    void WriteInteger(const QString& name, int value);
    void WriteBool(const QString& name, bool value);
    // Writes the bytes as they are; a failure is ignored.
    void WriteBinary(const QString& name, std::span<const std::uint8_t> data);

private:
    win::HKEY key_ = nullptr;
};

}  // namespace brevant
