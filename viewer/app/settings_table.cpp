#include "viewer/app/settings_table.h"

#include "viewer/app/options.h"

namespace brevant {

QString readSetting(const StringSetting& setting) {
    return TOptions().ReadString(QString::fromUtf16(setting.name), QString::fromUtf16(setting.def));
}

int readSetting(const IntegerSetting& setting) {
    return TOptions().ReadInteger(QString::fromUtf16(setting.name), setting.def);
}

bool readSetting(const BoolSetting& setting) {
    return TOptions().ReadBool(QString::fromUtf16(setting.name), setting.def);
}

void writeSetting(const StringSetting& setting, const QString& value) {
    TOptions().WriteString(QString::fromUtf16(setting.name), value);
}

void writeSetting(const IntegerSetting& setting, int value) {
    TOptions().WriteInteger(QString::fromUtf16(setting.name), value);
}

void writeSetting(const WriteOnlyIntegerSetting& setting, int value) {
    TOptions().WriteInteger(QString::fromUtf16(setting.name), value);
}

void writeSetting(const BoolSetting& setting, bool value) {
    TOptions().WriteBool(QString::fromUtf16(setting.name), value);
}

std::array<std::uint8_t, WindowPlacement::kSize> WindowPlacement::toBytes() const {
    const std::int32_t fields[] = {kSize, flags, showState, minX,  minY,  maxX,
                                   maxY,  left,  top,       right, bottom};
    std::array<std::uint8_t, kSize> bytes{};
    for (int i = 0; i < 11; ++i) {
        auto v = std::uint32_t(fields[i]);
        for (int b = 0; b < 4; ++b)
            bytes[i * 4 + b] = std::uint8_t(v >> (8 * b));
    }
    return bytes;
}

std::optional<WindowPlacement> readMainForm() {
    std::array<std::uint8_t, WindowPlacement::kSize> bytes{};
    if (TOptions().ReadBinary(QString::fromUtf16(settings::kMainForm), bytes) !=
        WindowPlacement::kSize)
        return std::nullopt;
    std::int32_t fields[11];
    for (int i = 0; i < 11; ++i) {
        std::uint32_t v = 0;
        for (int b = 0; b < 4; ++b)
            v |= std::uint32_t(bytes[i * 4 + b]) << (8 * b);
        fields[i] = std::int32_t(v);
    }
    WindowPlacement p;
    p.flags = fields[1];
    p.showState = fields[2];
    p.minX = fields[3];
    p.minY = fields[4];
    p.maxX = fields[5];
    p.maxY = fields[6];
    p.left = fields[7];
    p.top = fields[8];
    p.right = fields[9];
    p.bottom = fields[10];
    return p;
}

void writeMainForm(const WindowPlacement& placement) {
    TOptions().WriteBinary(QString::fromUtf16(settings::kMainForm), placement.toBytes());
}

}  // namespace brevant
