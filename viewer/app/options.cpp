#include "viewer/app/options.h"

#include <vector>

#include "viewer/app/number_text.h"
#include "viewer/app/scrambler.h"

namespace brevant {
namespace {

const char16_t* units(const QString& text) {
    return reinterpret_cast<const char16_t*>(text.utf16());
}

// The value's type and bytes; false when it cannot be read.
bool queryValue(win::HKEY key, const QString& name, win::DWORD& type,
                std::vector<std::uint8_t>& data) {
    if (!key)
        return false;
    win::DWORD size = 0;
    if (win::RegQueryValueExW(key, units(name), nullptr, &type, nullptr, &size) !=
        win::ERROR_SUCCESS)
        return false;
    data.resize(size);
    if (win::RegQueryValueExW(key, units(name), nullptr, &type, data.data(), &size) !=
        win::ERROR_SUCCESS)
        return false;
    data.resize(size);
    return true;
}

}  // namespace

TOptions::TOptions(const QString& path) {
    const QString full = QStringLiteral("\\Software\\") + path;
    if (win::RegCreateKeyExW(win::HKEY_CURRENT_USER, units(full), 0, nullptr,
                             win::REG_OPTION_NON_VOLATILE, win::KEY_ALL_ACCESS, nullptr, &key_,
                             nullptr) != win::ERROR_SUCCESS)
        key_ = nullptr;
}

TOptions::~TOptions() {
    if (key_)
        win::RegCloseKey(key_);
}

QString TOptions::ReadString(const QString& name, const QString& def) const {
    win::DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!queryValue(key_, name, type, data) || type != win::REG_SZ)
        return def;
    // The stored units up to the first terminator.
    QString text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t c = char16_t(data[i] | data[i + 1] << 8);
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    UnscrambleText(text);
    return text.isEmpty() ? def : text;
}

int TOptions::ReadInteger(const QString& name, int def) const {
    return parseDecimalInt(ReadString(name, QString::number(def))).value_or(def);
}

bool TOptions::ReadBool(const QString& name, bool def) const {
    return ReadInteger(name, def ? 1 : 0) != 0;
}

int TOptions::ReadBinary(const QString& name, std::span<std::uint8_t> buffer) const {
    win::DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!queryValue(key_, name, type, data) || type != win::REG_BINARY ||
        data.size() > buffer.size())
        return 0;
    std::copy(data.begin(), data.end(), buffer.begin());
    return int(data.size());
}

void TOptions::WriteString(const QString& name, const QString& text) {
    QString scrambled = text;
    ScrambleText(scrambled);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(scrambled.utf16());
    const auto size = win::DWORD((scrambled.size() + 1) * 2);
    if (!key_ ||
        win::RegSetValueExW(key_, units(name), 0, win::REG_SZ, bytes, size) != win::ERROR_SUCCESS)
        throw SettingsError("Failed to set data for '" + name.toStdString() + "'");
}

void TOptions::WriteInteger(const QString& name, int value) {
    WriteString(name, QString::number(value));
}

void TOptions::WriteBool(const QString& name, bool value) {
    WriteString(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TOptions::WriteBinary(const QString& name, std::span<const std::uint8_t> data) {
    if (key_)
        win::RegSetValueExW(key_, units(name), 0, win::REG_BINARY, data.data(),
                            win::DWORD(data.size()));
}

}  // namespace brevant
