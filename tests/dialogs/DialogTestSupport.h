#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <iterator>
#include <string>

// What the dialog tests share: controls by object name, message boxes answered, files read.
namespace quav::test {

/// The control of type T named `name` (a control id as text); a missing one ends the test.
template <class T> T* child(QWidget& w, const QString& name) {
    T* c = w.findChild<T*>(name);
    if (!c)
        qFatal("no control %s", qPrintable(name));
    return c;
}
template <class T> T* child(QWidget& w, int id) {
    return child<T>(w, QString::number(id));
}

/// Answers the next modal message box with OK and keeps its text.
inline void closeNextMessage(QString* text) {
    QTimer::singleShot(0, [text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        *text = box->text();
        box->accept();
    });
}

/// A file's bytes; empty when it cannot be read.
inline std::string fileText(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace quav::test
