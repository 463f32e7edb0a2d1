#include "optimizer/ParetoFront.h"

#include "model/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace quav {

namespace {

/// Dominance on sign-adjusted (minimised) values.
bool dominatesMin(const double* a, const double* b, std::size_t n) {
    bool better = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (!(a[i] <= b[i]))
            return false;
        better = better || a[i] < b[i];
    }
    return better;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

bool parseNumber(std::string_view text, double& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

bool dominates(const double* a, const double* b, const std::vector<bool>& maximise) {
    bool better = false;
    for (std::size_t i = 0; i < maximise.size(); ++i) {
        const double x = maximise[i] ? -a[i] : a[i];
        const double y = maximise[i] ? -b[i] : b[i];
        if (!(x <= y))
            return false;
        better = better || x < y;
    }
    return better;
}

ParetoFront::ParetoFront(std::vector<bool> maximise, std::size_t parameterCount)
    : maximise_(std::move(maximise)), parameterCount_(parameterCount) {
    for (bool m : maximise_)
        sign_.push_back(m ? -1.0 : 1.0);
}

bool ParetoFront::offer(std::int64_t number, const double* parameters, const double* objectives) {
    const std::size_t n = sign_.size();
    std::vector<double>& v = scratch_;
    v.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isnan(objectives[i]))
            return false;
        v[i] = sign_[i] * objectives[i];
    }
    for (std::size_t m = 0; m < numbers_.size(); ++m)
        if (dominatesMin(&values_[m * n], v.data(), n))
            return false;
    // Members the newcomer dominates leave: the last member takes each one's place.
    for (std::size_t m = 0; m < numbers_.size();) {
        if (!dominatesMin(v.data(), &values_[m * n], n)) {
            ++m;
            continue;
        }
        const std::size_t last = numbers_.size() - 1;
        numbers_[m] = numbers_[last];
        std::copy_n(&values_[last * n], n, &values_[m * n]);
        std::copy_n(parameters_.begin() + static_cast<std::ptrdiff_t>(last * parameterCount_),
                    parameterCount_,
                    parameters_.begin() + static_cast<std::ptrdiff_t>(m * parameterCount_));
        numbers_.pop_back();
        values_.resize(last * n);
        parameters_.resize(last * parameterCount_);
    }
    numbers_.push_back(number);
    values_.insert(values_.end(), v.begin(), v.end());
    parameters_.insert(parameters_.end(), parameters, parameters + parameterCount_);
    return true;
}

bool ParetoFront::holdsParameters(const double* parameters) const {
    for (std::size_t m = 0; m < numbers_.size(); ++m)
        if (std::equal(parameters, parameters + parameterCount_,
                       parameters_.begin() + static_cast<std::ptrdiff_t>(m * parameterCount_)))
            return true;
    return false;
}

std::vector<ParetoMember> ParetoFront::members() const {
    const std::size_t n = sign_.size();
    std::vector<ParetoMember> result(numbers_.size());
    for (std::size_t m = 0; m < numbers_.size(); ++m) {
        result[m].number = numbers_[m];
        result[m].parameters.assign(
            parameters_.begin() + static_cast<std::ptrdiff_t>(m * parameterCount_),
            parameters_.begin() + static_cast<std::ptrdiff_t>((m + 1) * parameterCount_));
        for (std::size_t i = 0; i < n; ++i)
            result[m].objectives.push_back(sign_[i] * values_[m * n + i]);
    }
    std::sort(result.begin(), result.end(), [](const ParetoMember& a, const ParetoMember& b) {
        const double x = a.objectives.empty() ? 0.0 : a.objectives[0];
        const double y = b.objectives.empty() ? 0.0 : b.objectives[0];
        return x != y ? x < y : a.number < b.number;
    });
    return result;
}

std::vector<std::string> parameterNames(const std::vector<DesignParameter>& parameters) {
    std::vector<std::string> names;
    for (const DesignParameter& p : parameters)
        names.push_back(p.name);
    return names;
}

std::string paretoCsv(const std::vector<ParetoMember>& members,
                      const std::vector<std::string>& parameterNames,
                      const std::vector<std::string>& objectiveNames) {
    std::string out = "file";
    for (const std::string& name : parameterNames)
        out += "," + csvField(name);
    for (const std::string& name : objectiveNames)
        out += "," + csvField(name);
    return out + '\n' + paretoCsvRows(members);
}

std::string paretoCsvRows(const std::vector<ParetoMember>& members) {
    std::string out;
    for (const ParetoMember& m : members) {
        appendFormat(out, "No%lld.quav", static_cast<long long>(m.number));
        for (double x : m.parameters)
            appendFormat(out, ",%.17g", x);
        for (double x : m.objectives)
            appendFormat(out, ",%.17g", x);
        out += '\n';
    }
    return out;
}

bool parseParetoCsv(std::string_view text, std::size_t parameterCount, std::size_t objectiveCount,
                    ParetoCsv& out, std::string& error) {
    out = {};
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            error = "the last line has no line end";
            return false;
        }
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (++lineNumber == 1) {
            out.header = std::string(line);
            continue;
        }
        auto bad = [&] {
            error = "line " + std::to_string(lineNumber) + " is not a row of the front";
            return false;
        };
        std::vector<std::string_view> fields;
        for (std::size_t start = 0;;) {
            const std::size_t comma = line.find(',', start);
            fields.push_back(line.substr(start, comma - start));
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
        if (fields.size() != 1 + parameterCount + objectiveCount)
            return bad();
        ParetoMember m;
        const std::string_view file = fields[0];
        if (file.size() < 8 || file.substr(0, 2) != "No" || file.substr(file.size() - 5) != ".quav")
            return bad();
        const std::string_view digits = file.substr(2, file.size() - 7);
        const auto [p, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), m.number);
        if (ec != std::errc() || p != digits.data() + digits.size() || m.number < 1)
            return bad();
        for (std::size_t i = 0; i < parameterCount + objectiveCount; ++i) {
            double x = 0.0;
            if (!parseNumber(fields[1 + i], x))
                return bad();
            (i < parameterCount ? m.parameters : m.objectives).push_back(x);
        }
        out.members.push_back(std::move(m));
    }
    if (lineNumber == 0) {
        error = "no header";
        return false;
    }
    return true;
}

} // namespace quav
