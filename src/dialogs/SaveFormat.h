#pragma once

// The files "保存..." writes from the result windows, without a widget: which
// format a chosen name means and the bytes of the tables and texts.

#include <string>
#include <vector>

namespace quav {

enum class SaveFormat {
    Csv,  ///< comma-separated table
    Tsv,  ///< tab-separated table
    Text, ///< a report as the text window shows it
    Png,
    Svg,
};

/// The file dialog's filter of a format, for example "CSV (*.csv)".
std::string saveFilter(SaveFormat format);
/// The file name suffix of a format, with its dot: ".csv".
std::string saveSuffix(SaveFormat format);

struct SaveRequest {
    std::string path; ///< empty: the user cancelled
    SaveFormat format = SaveFormat::Csv;
};

/// What a name chosen in the file dialog asks for: a suffix of one of the
/// `offered` formats picks that format whatever the filter; otherwise the
/// filter's format, its suffix appended.
SaveRequest resolveSavePath(const std::string& path, SaveFormat filter,
                            const std::vector<SaveFormat>& offered);

/// A table or text for the file: CSV and TSV start with a UTF-8 byte order
/// mark, so spreadsheets read their Japanese headings as UTF-8; plain text is
/// written as the text window shows it (UTF-8, as `quav-cli` prints reports).
std::string textFileBytes(const std::string& text, SaveFormat format);

} // namespace quav
