// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/common/TextDisplay.h"

#include "core/platform/Collation.h"
#include "core/settings/Settings.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

namespace lexipond {

namespace {

QString Decoded(std::string_view bytes) {
    std::u16string decoded;
    platform::DecodeBytesToUtf16(bytes, decoded);
    return QString::fromStdU16String(decoded);
}

} // namespace

QString DisplayText(const char* bytes) {
    return bytes ? Decoded(bytes) : QString();
}

QString DisplayText(const std::string& bytes) {
    return DisplayText(bytes.c_str());
}

QString DisplayUserName(const SettingsBlock& settings, int user) {
    // A damaged block may lack the terminator.
    const char* name = settings.userNames[user];
    return Decoded(std::string_view(name, strnlen(name, kUserNameSize)));
}

std::string StoredText(const QString& text) {
    return text.toUtf8().toStdString();
}

QFont CellHeightFont(int cellHeight, int weight, const QString& family) {
    constexpr int kProbe = 1000; // large, so hinting does not round the ratio
    QFont font(family);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    font.setPixelSize(kProbe);
    // Scale the em size so that the face's full line (ascent + descent) fills the cell.
    const QFontMetricsF metrics(font);
    const qreal line = metrics.ascent() + metrics.descent();
    const qreal em = line > 0 ? cellHeight * kProbe / line : cellHeight;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(em))));
    return font;
}

} // namespace lexipond
