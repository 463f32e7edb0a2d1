#include "optimizer/OptimizerLog.h"

#include "analysis/ModeMetrics.h"
#include "model/TextEncoding.h"
#include "model/TextFormat.h"
#include "optimizer/OptimizerRun.h"
#include "optimizer/Variant.h"

#include <charconv>
#include <cstdio>

namespace quav {

namespace {

const char* const kDofNames[6] = {"x", "y", "z", "Rx", "Ry", "Rz"};
const char* const kDirectionNames[7] = {"x", "y", "z", "Local_x", "Local_y", "Local_z", "絶対値"};

std::string dashes(int n) {
    return std::string(static_cast<std::size_t>(n), '-');
}

} // namespace

std::string timestampLine(const std::string& prefix, std::time_t when) {
    std::tm t{};
    localtime_r(&when, &t);
    return prefix + format("%d年%d月%d日%d時%d分%d秒", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                           t.tm_hour, t.tm_min, t.tm_sec);
}

std::string logObjectName(const AnalysisModel& model, int id) {
    if (id == 1)
        return "質量要素";
    for (const auto& s : model.springs)
        if (s.id == id)
            return s.name;
    for (const auto& c : model.springCharacteristics)
        if (c.id == id)
            return c.name;
    for (const auto& p : model.observationPoints)
        if (p.id == id)
            return p.name;
    for (const auto& l : model.staticLoads)
        if (l.id == id)
            return l.name;
    for (const auto& l : model.dynamicLoads)
        if (l.id == id)
            return l.name;
    return "未定義オブジェクト";
}

std::string bindingVariableName(const AnalysisModel& model, const ParameterBinding& binding) {
    static const char* const kCharacteristicNames[3] = {"Kxx", "Kyy", "Kzz"};
    for (const auto& s : model.springs)
        if (s.id == binding.objectId)
            return binding.target >= 1 && binding.target <= 6 ? kDofNames[binding.target - 1]
                                                              : "不明";
    for (const auto& c : model.springCharacteristics)
        if (c.id == binding.objectId)
            return binding.target >= 1 && binding.target <= 3
                       ? kCharacteristicNames[binding.target - 1]
                       : "不明";
    return "不明";
}

std::vector<std::string> conditionsLog(const Optimizer& optimizer, const AnalysisModel& model,
                                       const std::string& documentTitle) {
    const OptimizationConditions& c = optimizer.conditions;
    std::vector<std::string> lines;
    lines.push_back("初期モデル:\t" + documentTitle);
    lines.push_back("【最適化条件】");

    bool anyMode = false;
    for (int flag : c.modeConditionEnabled)
        anyMode = anyMode || flag == 1;
    if (anyMode) {
        lines.push_back("■振動モードに関する制約事項");
        for (std::size_t i = 0; i < 6; ++i)
            if (c.modeConditionEnabled[i] == 1)
                lines.push_back(
                    format("\t自由度%sの寄与率が%g[％]以上含む場合、そのモードの周波数が%"
                           "g[Hz]以下であること。",
                           kDofNames[i], c.modeContributionPct[i], c.modeMaxFrequency[i]));
        lines.push_back("");
    }
    if (c.meanCouplingEnabled) {
        lines.push_back("■平均連成度に関する制約事項");
        lines.push_back(format("\t平均連成度%g[％]以下", c.meanCouplingMax));
        lines.push_back("");
    }
    if (c.minFrequencyEnabled || c.maxFrequencyEnabled) {
        lines.push_back("■最大最小周波数に関する制約事項");
        if (c.minFrequencyEnabled)
            lines.push_back(format("\t最小周波数%g[Hz]以上", c.minFrequency));
        if (c.maxFrequencyEnabled)
            lines.push_back(format("\t最大周波数%g[Hz]以下", c.maxFrequency));
        lines.push_back("");
    }
    if (c.springRatioEnabled) {
        lines.push_back("■ばね特性に関する制約事項");
        lines.push_back(format("\tばね特性の縦/横比が%gの+%g[％]以内", c.springRatio,
                               c.springRatioTolerancePct));
        lines.push_back("");
    }
    if (!c.displacementConditions.empty()) {
        lines.push_back("■静荷重に対する変位の制約事項");
        lines.push_back("\tオブジェクト名\t荷重名\t規制値\t方向");
        for (const auto& d : c.displacementConditions) {
            std::string line = format("\t%s\t%s\t%g\t", logObjectName(model, d.objectId).c_str(),
                                      logObjectName(model, d.loadId).c_str(), d.limit);
            for (std::size_t i = 0; i < 7; ++i)
                if (d.directionFlags[i] == 1)
                    line += std::string(kDirectionNames[i]) + "\t";
            lines.push_back(line);
        }
        lines.push_back("");
    }
    if (c.loadCasesPass) {
        lines.push_back("■荷重ケースに関する制約事項");
        lines.push_back(
            format("\t荷重ケース(%zu件)がすべて収束し、すべてのばねの余裕が0以上であること。",
                   model.loadCases.size()));
        lines.push_back("");
    }

    lines.push_back("■設計パラメータ");
    lines.push_back("\tID\tパラメータ名\t最小値\t最大値\t増分\t組合せ数");
    lines.push_back("\t" + dashes(57));
    for (const auto& p : optimizer.parameters)
        lines.push_back(format("\t%d\t%s\t%g\t%g\t%g\t%lld", p.id, p.name.c_str(), p.minValue,
                               p.maxValue, p.increment, static_cast<long long>(valueCount(p))));
    lines.push_back(format("\t\t\t\t\t総組合せ\t%lld",
                           static_cast<long long>(combinationCount(optimizer.parameters))));
    lines.push_back("");

    lines.push_back("■設計パラメータとオブジェクトの関連");
    lines.push_back("\tオブジェクト名\t変数対象\tParameterID\t乗数");
    lines.push_back("\t" + dashes(57));
    for (const auto& b : optimizer.bindings)
        lines.push_back(format("\t%s\t%s\t%d\t%g", logObjectName(model, b.objectId).c_str(),
                               bindingVariableName(model, b).c_str(), b.parameterId, b.multiplier));
    lines.push_back("");
    return lines;
}

std::string resultLine(const std::string& fileName, const AnalysisModel& variant,
                       const std::vector<DesignParameter>& parameters, long long processed,
                       long long combinations) {
    std::string line = format("%s\t%g", fileName.c_str(), meanCouplingDegree(variant));
    for (const auto& p : parameters)
        appendFormat(line, "\t%g", p.currentValue);
    for (int mode = 1; mode <= 6; ++mode)
        appendFormat(line, "\t%g", variant.eigenFrequencies[6 - mode]);
    appendFormat(line, "\t%g[％]終了",
                 static_cast<double>(processed) / static_cast<double>(combinations) * 100.0);
    return line;
}

namespace {

const char* const kSummaryTitle = "【条件ごとの不一致数】";
const char* const kClosestTitle = "【最も条件に近い組合せ】";
const char* const kNotPhysicalLabel = "ばね定数が負になるため計算しなかった組合せ";
const char* const kNotCalculatedLabel = "計算できなかった組合せ";

/// "label\tcount"; false for anything else.
bool parseCount(const std::string& line, std::string& label, std::int64_t& count) {
    const std::size_t tab = line.rfind('\t');
    if (tab == std::string::npos || tab == 0)
        return false;
    label = line.substr(0, tab);
    const char* first = line.data() + tab + 1;
    const char* last = line.data() + line.size();
    const auto r = std::from_chars(first, last, count);
    return r.ec == std::errc() && r.ptr == last && count >= 0;
}

} // namespace

void RejectionSummary::add(std::int64_t number, const std::vector<int>& failed,
                           const std::vector<DesignParameter>& parameters) {
    if (!failed.empty() && failed[0] == kNotPhysical) {
        ++notPhysical;
        return;
    }
    if (!failed.empty() && failed[0] == kNotCalculated) {
        ++notCalculated;
        return;
    }
    // `conditions` lists the enabled ones in number order, as failed does.
    const std::vector<int>& order = numbers_;
    std::size_t at = 0;
    for (int f : failed) {
        while (at < order.size() && order[at] != f)
            ++at;
        if (at < order.size())
            ++conditions[at].second;
    }
    const int n = static_cast<int>(failed.size());
    if (closestNumber == 0 || n < closestFailures) {
        closestNumber = number;
        closestFailures = n;
        closestValues.clear();
        for (const DesignParameter& p : parameters)
            appendFormat(closestValues, "\t%g", p.currentValue);
    }
}

void RejectionSummary::merge(const RejectionSummary& other) {
    for (std::size_t i = 0; i < conditions.size() && i < other.conditions.size(); ++i)
        conditions[i].second += other.conditions[i].second;
    notPhysical += other.notPhysical;
    notCalculated += other.notCalculated;
    if (other.closestNumber != 0 &&
        (closestNumber == 0 || other.closestFailures < closestFailures ||
         (other.closestFailures == closestFailures && other.closestNumber < closestNumber))) {
        closestNumber = other.closestNumber;
        closestFailures = other.closestFailures;
        closestValues = other.closestValues;
    }
}

RejectionSummary emptySummary(const OptimizationConditions& conditions,
                              const AnalysisModel& model) {
    RejectionSummary summary;
    for (int number : enabledConditions(conditions)) {
        if (number != kLoadCaseCondition) {
            summary.numbers_.push_back(number);
            continue;
        }
        // A line per case: the variants that failed there first.
        for (std::size_t i = 0; i < model.loadCases.size(); ++i)
            summary.numbers_.push_back(kLoadCaseCondition + static_cast<int>(i));
    }
    for (int number : summary.numbers_)
        summary.conditions.emplace_back(conditionName(number, conditions, model), 0);
    return summary;
}

std::vector<std::string> summaryLines(const RejectionSummary& s) {
    std::vector<std::string> lines{"", kSummaryTitle};
    for (const auto& [name, count] : s.conditions)
        lines.push_back(format("\t%s\t%lld", name.c_str(), static_cast<long long>(count)));
    if (s.notPhysical > 0)
        lines.push_back(
            format("\t%s\t%lld", kNotPhysicalLabel, static_cast<long long>(s.notPhysical)));
    if (s.notCalculated > 0)
        lines.push_back(
            format("\t%s\t%lld", kNotCalculatedLabel, static_cast<long long>(s.notCalculated)));
    lines.push_back(kClosestTitle);
    if (s.closestNumber > 0)
        lines.push_back(format("\t処理番号\t%lld\t不一致の条件数\t%d\tパラメータ値(ID順)",
                               static_cast<long long>(s.closestNumber), s.closestFailures) +
                        s.closestValues);
    else
        lines.push_back("\tなし");
    return lines;
}

bool parseSummaryLines(const std::vector<std::string>& lines, RejectionSummary& s) {
    std::size_t i = 0;
    if (i < lines.size() && lines[i].empty())
        ++i;
    if (i >= lines.size() || lines[i] != kSummaryTitle)
        return false;
    for (++i; i < lines.size() && lines[i] != kClosestTitle; ++i) {
        std::string label;
        std::int64_t count = 0;
        if (lines[i].empty() || lines[i][0] != '\t' ||
            !parseCount(lines[i].substr(1), label, count))
            return false;
        if (label == kNotPhysicalLabel)
            s.notPhysical = count;
        else if (label == kNotCalculatedLabel)
            s.notCalculated = count;
        else
            s.conditions.emplace_back(label, count);
    }
    if (i + 2 != lines.size())
        return false;
    const std::string& closest = lines[i + 1];
    if (closest == "\tなし")
        return true;
    long long number = 0;
    int failures = 0, end = 0;
    if (std::sscanf(closest.c_str(), "\t処理番号\t%lld\t不一致の条件数\t%d%n", &number, &failures,
                    &end) != 2 ||
        number <= 0 || failures < 0)
        return false;
    const std::string rest = closest.substr(static_cast<std::size_t>(end));
    const std::string prefix = "\tパラメータ値(ID順)";
    if (rest.rfind(prefix, 0) != 0)
        return false;
    s.closestNumber = number;
    s.closestFailures = failures;
    s.closestValues = rest.substr(prefix.size());
    return true;
}

std::string logFileBytes(const std::string& logText) {
    std::string crlf;
    crlf.reserve(logText.size() + logText.size() / 16);
    for (char ch : logText) {
        if (ch == '\n')
            crlf += "\r\n";
        else
            crlf += ch;
    }
    return utf8ToCp932Lossy(crlf);
}

std::string runEndMessage(int status, const std::string& failure, std::int64_t fileFailures,
                          const std::string& lastFailure) {
    std::string message = runStatusMessage(status) + (failure.empty() ? "" : "：" + failure);
    if (fileFailures > 0)
        message +=
            format("\n保存できなかったファイルがあります（%lld件）。ログを確認してください。",
                   static_cast<long long>(fileFailures)) +
            "\n" + lastFailure;
    return message;
}

} // namespace quav
