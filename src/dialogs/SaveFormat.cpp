#include "dialogs/SaveFormat.h"

#include <algorithm>
#include <cctype>

namespace quav {

std::string saveFilter(SaveFormat format) {
    switch (format) {
    case SaveFormat::Csv:
        return "CSV (*.csv)";
    case SaveFormat::Tsv:
        return "TSV (*.tsv)";
    case SaveFormat::Text:
        return "テキスト (*.txt)";
    case SaveFormat::Png:
        return "PNG 画像 (*.png)";
    case SaveFormat::Svg:
        return "SVG 画像 (*.svg)";
    }
    return {};
}

std::string saveSuffix(SaveFormat format) {
    switch (format) {
    case SaveFormat::Csv:
        return ".csv";
    case SaveFormat::Tsv:
        return ".tsv";
    case SaveFormat::Text:
        return ".txt";
    case SaveFormat::Png:
        return ".png";
    case SaveFormat::Svg:
        return ".svg";
    }
    return {};
}

SaveRequest resolveSavePath(const std::string& path, SaveFormat filter,
                            const std::vector<SaveFormat>& offered) {
    if (path.empty())
        return {};
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (SaveFormat f : offered) {
        const std::string suffix = saveSuffix(f);
        if (lower.size() > suffix.size() && lower.ends_with(suffix) &&
            lower[lower.size() - suffix.size() - 1] != '/')
            return {path, f};
    }
    return {path + saveSuffix(filter), filter};
}

std::string textFileBytes(const std::string& text, SaveFormat format) {
    if (format == SaveFormat::Csv || format == SaveFormat::Tsv)
        return "\xEF\xBB\xBF" + text;
    return text;
}

} // namespace quav
