#include "model/TextFormat.h"
#include "reports/ReportPieces.h"
#include "reports/Reports.h"

#include <algorithm>

namespace quav {

namespace {

constexpr const char* kSeparator = "//////////////////////////////////////////////////////////\r\n";

std::string calendarTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[64];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%Y/%m/%d  %X", &local);
    return std::string(buffer, n);
}

void appendPosition(std::string& out, const Matrix& p) {
    appendFormat(out, "\t座標\t%g\t%g\t%g\t[m]\r\n", p[0], p[1], p[2]);
}

const char* loadTypeText(int type) {
    switch (type) {
    case Translational:
        return "並進荷重\t\t\t[N]";
    case Moment:
        return "トルク荷重\t\t\t[N･m]";
    default:
        return "";
    }
}

void appendLoad(std::string& out, const StaticLoad& load, const double* frequency) {
    out += "\t名前\t" + load.name + "\r\n";
    appendPosition(out, load.position);
    appendFormat(out, "\t荷重値\t%g\r\n", load.value);
    if (frequency)
        appendFormat(out, "\t周波数\t%g\t\t\t[Hz]\r\n", *frequency);
    appendFormat(out, "\tタイプ\t%s\r\n", loadTypeText(load.type));
    appendFormat(out, "\t方向\t%g\t%g\t%g\r\n", load.direction[0], load.direction[1],
                 load.direction[2]);
    out += "\r\n";
}

/// A characteristic's force-deflection curves, one point a line, and its rated load.
void appendCurves(std::string& out, const SpringCharacteristic& c) {
    static const char* const kDirections[3] = {"x", "y", "z"};
    for (std::size_t d = 0; d < 3; ++d) {
        if (c.curves[d].empty())
            continue;
        appendFormat(out, "\t非線形特性 %s\t[m]\t[N]\r\n", kDirections[d]);
        for (const ForcePoint& p : c.curves[d])
            appendFormat(out, "\t\t%g\t%g\r\n", p.deflection, p.force);
    }
    if (c.ratedLoad)
        appendFormat(out, "\t定格荷重\t%g\t%g\t%g\t[N]\r\n", (*c.ratedLoad)[0], (*c.ratedLoad)[1],
                     (*c.ratedLoad)[2]);
}

/// A load case: its name, each static load by name with its factor, and the
/// acceleration.
void appendCase(std::string& out, const AnalysisModel& model, const LoadCase& c) {
    out += "\t名前\t" + c.name + "\r\n";
    for (const LoadTerm& t : c.terms) {
        const auto load = std::find_if(model.staticLoads.begin(), model.staticLoads.end(),
                                       [&](const StaticLoad& l) { return l.id == t.load; });
        const std::string name =
            load != model.staticLoads.end() ? load->name : format("(id %d なし)", t.load);
        appendFormat(out, "\t静荷重\t%s\t%g\r\n", name.c_str(), t.factor);
    }
    appendFormat(out, "\t加速度\t%g\t%g\t%g\t[G]\r\n", c.gLoad[0], c.gLoad[1], c.gLoad[2]);
    out += "\r\n";
}

} // namespace

std::string inputListing(const AnalysisModel& model, const std::string& title, std::time_t created,
                         std::time_t modified) {
    return wholeReport([&](const TextSink& sink) {
        return writeInputListing(model, title, created, modified, sink);
    });
}

bool writeInputListing(const AnalysisModel& model, const std::string& title, std::time_t created,
                       std::time_t modified, const TextSink& sink) {
    ReportPieces pieces(sink);
    std::string& out = pieces.out;
    out += kSeparator;
    out += "QUAVインプットデータ\r\n";
    out += "\r\n";
    out += "\tファイル\t" + title + "\r\n";
    out += "\t作成日\t" + calendarTime(created) + "\r\n";
    out += "\t更新日\t" + calendarTime(modified) + "\r\n";
    out += "\r\n";
    out += kSeparator;
    out += "\r\n";

    const Matrix& i = model.inertia;
    out += "質量要素\t";
    appendFormat(out, "質量\t%g\t\t\t[kg]\r\n", model.mass);
    appendPosition(out, model.centreOfGravity);
    appendFormat(out, "\t慣性\t%g\t%g\t%g\r\n\t\t%g\t%g\t%g\r\n\t\t%g\t%g\t%g\t[kg･m^2]\r\n",
                 i(0, 0), i(0, 1), i(0, 2), i(1, 0), i(1, 1), i(1, 2), i(2, 0), i(2, 1), i(2, 2));
    out += "\r\n";

    // Section headings carry no line end: the first entry's name line continues them.
    out += "ばね要素";
    for (const auto& spring : model.springs) {
        out += "\t名前\t" + spring.name + "\r\n";
        appendPosition(out, spring.position);
        appendFormat(out, "\tY角度\t%g\t\t\t[°]\r\n", spring.angles[1]);
        appendFormat(out, "\tZ角度\t%g\t\t\t[°]\r\n", spring.angles[2]);
        const SpringCharacteristic* c = model.findCharacteristic(spring.characteristicId);
        out += "\tばね特性\t" + (c ? c->name : std::string()) + "\r\n";
        out += "\r\n";
        if (!pieces.lineEnd())
            return false;
    }
    out += "\r\n";

    out += "ばね特性";
    for (const auto& c : model.springCharacteristics) {
        out += "\t名前\t" + c.name + "\r\n";
        appendFormat(out, "\tばね定数\t%g\t%g\t%g\t[N/m]\r\n", c.stiffness[0], c.stiffness[1],
                     c.stiffness[2]);
        appendFormat(out, "\t減衰係数\t%g\t%g\t%g\t[Ns/m]\r\n", c.damping[0], c.damping[1],
                     c.damping[2]);
        appendFormat(out, "\t動倍率\t%g\r\n", c.dynamicFactor);
        if (!c.frequencyTable.empty()) {
            out += "\t周波数特性\t[Hz]\t動倍率 x\t動倍率 y\t動倍率 z\t損失係数 x\t損失係数 y\t"
                   "損失係数 z\r\n";
            for (const FrequencyTableRow& row : c.frequencyTable)
                appendFormat(out, "\t\t%g\t%g\t%g\t%g\t%g\t%g\t%g\r\n", row.f, row.ratio[0],
                             row.ratio[1], row.ratio[2], row.loss[0], row.loss[1], row.loss[2]);
        }
        appendCurves(out, c);
        out += "\r\n";
        if (!pieces.lineEnd())
            return false;
    }

    if (!model.staticLoads.empty()) {
        out += "\r\n";
        out += "静荷重";
        for (const auto& load : model.staticLoads) {
            appendLoad(out, load, nullptr);
            if (!pieces.lineEnd())
                return false;
        }
    }
    if (!model.dynamicLoads.empty()) {
        out += "\r\n";
        out += "動荷重";
        for (const auto& load : model.dynamicLoads) {
            appendLoad(out, load, &load.frequency);
            if (!pieces.lineEnd())
                return false;
        }
    }

    if (!model.loadCases.empty()) {
        out += "\r\n";
        out += "荷重ケース";
        for (const LoadCase& c : model.loadCases) {
            appendCase(out, model, c);
            if (!pieces.lineEnd())
                return false;
        }
    }

    out += "\r\n";
    out += "観測点";
    for (const auto& point : model.observationPoints) {
        out += "\t名前\t" + point.name + "\r\n";
        appendPosition(out, point.position);
        out += "\r\n";
        if (!pieces.lineEnd())
            return false;
    }

    out += "\r\n";
    out += kSeparator;
    out += "メモ\r\n\r\n";
    out += model.memo;
    out += "\r\n";
    return pieces.finish();
}

} // namespace quav
