#include "app_fixture.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTreeWidgetItem>
#include <QtTest>

namespace qbtest {

namespace {

template <typename T>
T takeFront(std::deque<T>& queue, T fallback) {
    if (queue.empty()) return fallback;
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}

}  // namespace

QStringList ScriptedUi::openTextFiles(QWidget*) {
    return takeFront(textFiles, QStringList());
}

QString ScriptedUi::openCoverPicture(QWidget*) {
    return takeFront(coverPictures, QString());
}

QString ScriptedUi::chooseFolder(QWidget*, const QString& initialFolder) {
    folderInitials << initialFolder;
    return takeFront(folders, QString());
}

bool ScriptedUi::askOverwrite(const QString& text) {
    overwriteQuestions << text;
    if (whileAsking) {
        auto hook = std::move(whileAsking);
        whileAsking = nullptr;
        hook();
    }
    return takeFront(overwriteAnswers, false);
}

bool ScriptedUi::askStopRun() {
    ++stopRunQuestions;
    return takeFront(stopRunAnswers, false);
}

bool ScriptedUi::editBookOptions(QWidget*, qb::BookOptions& options) {
    bookOptionsShown << options;
    if (bookOptions.empty()) return false;
    options = bookOptions.front();
    bookOptions.pop_front();
    return true;
}

bool ScriptedUi::editBookDetails(QWidget*, qb::BookDetails& details) {
    if (bookDetails.empty()) return false;
    details = bookDetails.front();
    bookDetails.pop_front();
    return true;
}

void convertAndWait(qb::TForm1& form) {
    QTest::mouseClick(form.PNGButton(4), Qt::LeftButton);
    QVERIFY(waitForRun(form));
}

bool waitForRun(qb::TForm1& form) {
    QElapsedTimer timer;
    timer.start();
    while (form.converting() && timer.elapsed() < 60000) QTest::qWait(5);
    return !form.converting();
}

WindowPlace::WindowPlace() {
    copyTree(QStringLiteral(QB_TEST_TEMPLATE_DIR), path("epubfiles"));
}

qb::AppPlaces WindowPlace::places() const {
    return {QFile::encodeName(path("epubfiles")).toStdString(),
            QFile::encodeName(path("config.ini")).toStdString(), QB_TEST_TEMPLATE_DIR};
}

std::unique_ptr<qb::TForm1> WindowPlace::makeForm() {
    return std::make_unique<qb::TForm1>(places(), ui);
}

QString writeText(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + u'/' + QDir(from).relativeFilePath(source);
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            QFile::copy(source, target);
    }
}

QStringList rows(const qb::TForm1& form) {
    QStringList result;
    for (int i = 0; i < form.ListView1()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = form.ListView1()->topLevelItem(i);
        result << row->text(0) + u':' + row->text(1);
    }
    return result;
}

}  // namespace qbtest
