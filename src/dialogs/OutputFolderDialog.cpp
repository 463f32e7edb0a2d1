#include "dialogs/OutputFolderDialog.h"

#include "dialogs/DialogFields.h"
#include "dialogs/DialogUnits.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <charconv>

namespace quav {

QString OutputFolderDialog::browseFolder(QWidget*, const QString& title, const QString& start) {
    // Like the system's folder browser: directories only, no owner window.
    return QFileDialog::getExistingDirectory(nullptr, title, start, QFileDialog::ShowDirsOnly);
}

OutputFolderDialog::OutputFolderDialog(QWidget* parent, const QString& path, const QString& folder)
    : FormDialog(161, QStringLiteral("解析結果保存先設定"), parent) {
    path_ = new QPlainTextEdit(path.isEmpty() ? QDir::currentPath() : path, this);
    path_->setObjectName(QStringLiteral("1156"));
    path_->setReadOnly(true);
    showAsReadOnly(path_);
    path_->setFixedSize(dialogUnits(200, 30));
    auto* browse = new QPushButton(QStringLiteral("参照"), this);
    browse->setObjectName(QStringLiteral("1062"));
    folder_ = new QLineEdit(folder.isEmpty() ? QStringLiteral("Optimize") : folder, this);
    folder_->setObjectName(QStringLiteral("1157"));

    connect(browse, &QPushButton::clicked, this, &OutputFolderDialog::browsePath);

    auto* searchBox = new QGroupBox(QStringLiteral("■探索方法"), this);
    grid_ = new QRadioButton(QStringLiteral("全組合せ"), searchBox);
    grid_->setObjectName(QStringLiteral("grid"));
    evolutionary_ = new QRadioButton(QStringLiteral("進化的探索(NSGA-II)"), searchBox);
    evolutionary_->setObjectName(QStringLiteral("evolutionary"));
    population_ = new QSpinBox(searchBox);
    population_->setObjectName(QStringLiteral("population"));
    population_->setRange(4, kMaxPopulation);
    population_->setSingleStep(2);
    generations_ = new QSpinBox(searchBox);
    generations_->setObjectName(QStringLiteral("generations"));
    generations_->setRange(1, kMaxGenerations);
    seed_ = new QLineEdit(searchBox);
    seed_->setObjectName(QStringLiteral("seed"));
    discrete_ = new QCheckBox(QStringLiteral("ﾊﾟﾗﾒｰﾀの増分ごとの値だけを使う"), searchBox);
    discrete_->setObjectName(QStringLiteral("discrete"));
    auto* searchGrid = new QGridLayout(searchBox);
    searchGrid->addWidget(grid_, 0, 0, 1, 2);
    searchGrid->addWidget(evolutionary_, 1, 0, 1, 2);
    searchGrid->addWidget(new QLabel(QStringLiteral("個体数"), searchBox), 2, 0);
    searchGrid->addWidget(population_, 2, 1);
    searchGrid->addWidget(new QLabel(QStringLiteral("世代数"), searchBox), 3, 0);
    searchGrid->addWidget(generations_, 3, 1);
    searchGrid->addWidget(new QLabel(QStringLiteral("乱数の種"), searchBox), 4, 0);
    searchGrid->addWidget(seed_, 4, 1);
    searchGrid->addWidget(discrete_, 5, 0, 1, 2);
    connect(evolutionary_, &QRadioButton::toggled, this, &OutputFolderDialog::showSearchChoice);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("保存先ﾊﾟｽ"), this), 0, 0, Qt::AlignTop);
    grid->addWidget(path_, 0, 1);
    grid->addWidget(browse, 0, 2, Qt::AlignTop);
    grid->addWidget(new QLabel(QStringLiteral("ﾌｫﾙﾀﾞ名"), this), 1, 0);
    grid->addWidget(folder_, 1, 1);
    grid->addWidget(searchBox, 2, 0, 1, 3);
    grid->addWidget(okCancel(), 3, 0, 1, 3);
    setSearch(false, SearchSettings{}, nullptr);
}

void OutputFolderDialog::setSearch(bool evolutionary, const SearchSettings& settings,
                                   const Optimizer* optimizer) {
    optimizer_ = optimizer;
    (evolutionary ? evolutionary_ : grid_)->setChecked(true);
    population_->setValue(settings.population);
    generations_->setValue(settings.generations);
    seed_->setText(QString::number(settings.seed));
    discrete_->setChecked(settings.discrete);
    showSearchChoice();
}

void OutputFolderDialog::showSearchChoice() {
    const bool on = evolutionary_->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{population_, generations_, seed_, discrete_})
        w->setEnabled(on);
}

SearchSettings OutputFolderDialog::searchSettings() const {
    SearchSettings s;
    s.population = population_->value();
    s.generations = generations_->value();
    const std::string seed = seed_->text().trimmed().toStdString();
    std::from_chars(seed.data(), seed.data() + seed.size(), s.seed);
    s.discrete = discrete_->isChecked();
    return s;
}

std::optional<SearchSettings> OutputFolderDialog::search() const {
    if (!evolutionary_->isChecked())
        return std::nullopt;
    return searchSettings();
}

QString OutputFolderDialog::path() const {
    return path_->toPlainText();
}

QString OutputFolderDialog::folderName() const {
    return folder_->text();
}

void OutputFolderDialog::browsePath() {
    const QString chosen = browse(this, QStringLiteral("ディレクトリを選択"), path());
    if (chosen.isEmpty()) {
        messages.inform(this, QStringLiteral("ディレクトリが選択されませんでした"));
        return;
    }
    path_->setPlainText(chosen);
}

void OutputFolderDialog::accept() {
    // Without a folder name the run would write into the chosen folder itself,
    // over files of the same names.
    if (folder_->text().trimmed().isEmpty()) {
        messages.inform(this, QStringLiteral("ﾌｫﾙﾀﾞ名を入力して下さい"));
        folder_->setFocus();
        return;
    }
    if (evolutionary_->isChecked()) {
        const std::string seed = seed_->text().trimmed().toStdString();
        std::uint64_t value = 0;
        const auto [end, ec] = std::from_chars(seed.data(), seed.data() + seed.size(), value);
        if (seed.empty() || ec != std::errc() || end != seed.data() + seed.size()) {
            messages.inform(this, QStringLiteral("乱数の種は0以上の整数です"));
            seed_->setFocus();
            return;
        }
        if (optimizer_) {
            const std::string problem = searchSettingsProblem(searchSettings(), *optimizer_);
            if (!problem.empty()) {
                messages.inform(this, QString::fromStdString(problem));
                return;
            }
        }
    }
    QDialog::accept();
}

} // namespace quav
