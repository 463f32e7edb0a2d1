#include "model/AnalysisModel.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quav {

namespace {

/// Normalises a direction; a zero vector stays zero rather than turning into NaNs.
Matrix unitDirection(const Matrix& direction) {
    Matrix d = direction;
    if (d.norm() != 0.0)
        d.normalise();
    return d;
}

template <class Element> void applySelection(std::vector<Element>& elements, int code) {
    for (auto& e : elements) {
        if (code == -1)
            e.selected = 1;
        else if (code == -2)
            e.selected = 0;
        else if (e.id == code)
            e.selected = e.selected ? 0 : 1;
    }
}

template <class Element> int countSelected(const std::vector<Element>& elements) {
    return static_cast<int>(std::count_if(elements.begin(), elements.end(),
                                          [](const Element& e) { return e.selected == 1; }));
}

template <class Element> void eraseSelected(std::vector<Element>& elements) {
    std::erase_if(elements, [](const Element& e) { return e.selected == 1; });
}

} // namespace

void AnalysisModel::setInertia(const Matrix& m) {
    inertia = m;
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            inertia(j, i) = inertia(i, j);
}

int AnalysisModel::addSpring(const std::string& name, const Matrix& position, const Matrix& angles,
                             float symbolSize) {
    SpringElement s;
    s.id = nextId();
    s.name = name;
    s.position = position;
    s.angles = angles;
    s.size = symbolSize;
    s.characteristicId = 0;
    s.selected = 0;
    springs.push_back(std::move(s));
    return springs.back().id;
}

int AnalysisModel::addStaticLoad(const std::string& name, double value, const Matrix& position,
                                 const Matrix& direction, int type) {
    StaticLoad l;
    l.id = nextId();
    l.name = name;
    l.value = value;
    l.position = position;
    l.direction = unitDirection(direction);
    l.type = type;
    l.referencePoint = centreOfGravity;
    staticLoads.push_back(std::move(l));
    return staticLoads.back().id;
}

int AnalysisModel::addDynamicLoad(const std::string& name, double value, const Matrix& position,
                                  const Matrix& direction, int type, double frequency) {
    DynamicLoad l;
    l.id = nextId();
    l.name = name;
    l.value = value;
    l.position = position;
    l.direction = unitDirection(direction);
    l.type = type;
    l.referencePoint = centreOfGravity;
    l.frequency = frequency;
    dynamicLoads.push_back(std::move(l));
    return dynamicLoads.back().id;
}

int AnalysisModel::addObservationPoint(const std::string& name, const Matrix& position) {
    ObservationPoint p;
    p.id = nextId();
    p.name = name;
    p.position = position;
    observationPoints.push_back(std::move(p));
    return observationPoints.back().id;
}

int AnalysisModel::assignCharacteristic(const std::string& name, const Matrix& stiffness,
                                        double dynamicFactor, const Matrix& damping,
                                        const FrequencyTable& table) {
    int id = 0;
    for (const auto& c : springCharacteristics)
        if (c.name == name)
            id = c.id; // the last of several equal names wins
    if (id == 0) {
        SpringCharacteristic c;
        c.name = name;
        c.stiffness = stiffness;
        c.dynamicFactor = dynamicFactor;
        c.damping = damping;
        c.frequencyTable = table;
        id = addCharacteristic(std::move(c));
    }
    for (auto& s : springs) {
        if (s.selected == 1) {
            s.characteristicId = id;
            s.selected = 0;
        }
    }
    return id;
}

int AnalysisModel::addCharacteristic(SpringCharacteristic characteristic) {
    characteristic.id = nextId();
    springCharacteristics.push_back(std::move(characteristic));
    return springCharacteristics.back().id;
}

const SpringCharacteristic* AnalysisModel::findCharacteristic(int id) const {
    for (const auto& c : springCharacteristics)
        if (c.id == id)
            return &c;
    return nullptr;
}

SpringCharacteristic* AnalysisModel::findCharacteristic(int id) {
    return const_cast<SpringCharacteristic*>(std::as_const(*this).findCharacteristic(id));
}

void AnalysisModel::setSpringSelection(int code) {
    applySelection(springs, code);
}

void AnalysisModel::setLoadSelection(int code) {
    applySelection(staticLoads, code);
    applySelection(dynamicLoads, code);
}

void AnalysisModel::setObservationPointSelection(int code) {
    applySelection(observationPoints, code);
}

int AnalysisModel::selectedSpringCount() const {
    return countSelected(springs);
}

int AnalysisModel::selectedLoadCount() const {
    return countSelected(staticLoads) + countSelected(dynamicLoads);
}

int AnalysisModel::selectedObservationPointCount() const {
    return countSelected(observationPoints);
}

void AnalysisModel::deleteSelectedSprings() {
    eraseSelected(springs);
}

void AnalysisModel::deleteSelectedLoads() {
    eraseSelected(staticLoads);
    eraseSelected(dynamicLoads);
}

void AnalysisModel::deleteSelectedObservationPoints() {
    eraseSelected(observationPoints);
}

void AnalysisModel::clearResults() {
    staticResults.zero();
    dynamicResults.zero();
    eigenFrequencies.zero();
    modeShapes.zero();
    modeIterations = {};
    frequencyStepResults.clear();
}

bool AnalysisModel::usesFrequencyTable(const SpringElement& spring) const {
    const SpringCharacteristic* c = findCharacteristic(spring.characteristicId);
    return c && !c->frequencyTable.empty();
}

std::string AnalysisModel::markedSpringName(const SpringElement& spring) const {
    return usesFrequencyTable(spring) ? spring.name + kFrequencyTableMark : spring.name;
}

bool AnalysisModel::usesFrequencyTables() const {
    return std::any_of(springs.begin(), springs.end(),
                       [this](const SpringElement& s) { return usesFrequencyTable(s); });
}

void AnalysisModel::setFrequencyRange(double end, double start, double step) {
    frequencyEnd = end;
    frequencyStart = start;
    frequencyStep = step;
    frequencyStepResults.clear();
}

double AnalysisModel::sweepStepCountExact() const {
    return std::trunc((frequencyEnd - frequencyStart) / frequencyStep) + 1.0;
}

} // namespace quav
