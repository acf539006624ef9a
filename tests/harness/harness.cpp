#include "harness.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>
#include <cmath>

#include "TYPEKIVO1_3.h"

void FormTest::SetUp() {
    dir_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(dir_->isValid());
    oldCurrent_ = QDir::currentPath();
    QDir::setCurrent(dir_->path());
    TFileDialog::Answer = [this](const TFileDialog& d) -> std::optional<QStringList> {
        asked_.push_back({d.Name(), d.FileName, d.Filter, d.DefaultExt, d.AllowMultiSelect});
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected dialog " << d.Name().toStdString();
            return std::nullopt;
        }
        const bool cancel = !answers_.front().has_value();
        const QStringList files = cancel ? QStringList() : *answers_.front();
        answers_.pop_front();
        if (cancel) return std::nullopt;
        return files;
    };
    FigureDialog::Answer = [this](FigureDialog& d) {
        ++figuresAsked;
        return figureChoice ? figureChoice(d) : true;
    };
    StartForm();
}

void FormTest::StartForm() {
    form.reset();
    form = std::make_unique<TForm1>();
    form->NowMs = [this] { return now; };
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->FocusCurrentFrame();
    Settle();
}

void FormTest::Menu(const QString& menu, const QString& item) {
    for (QAction* top : form->menuBar()->actions()) {
        if (top->text() != menu || !top->menu()) continue;
        for (QAction* a : top->menu()->actions())
            if (a->text() == item) {
                a->trigger();
                Settle();
                return;
            }
    }
    ADD_FAILURE() << "no menu item " << menu.toStdString() << " / " << item.toStdString();
}

void FormTest::TearDown() {
    form.reset();
    TFileDialog::Answer = nullptr;
    FigureDialog::Answer = nullptr;
    QDir::setCurrent(oldCurrent_);
    dir_.reset();
}

void FormTest::AnswerFiles(const QStringList& names) {
    QStringList paths;
    for (const QString& n : names) paths << Path(n);
    Answer(paths);
}

QStringList FormTest::CsvCells(const std::string& line) {
    QStringList cells{QString()};
    bool quoted = false;
    for (const QChar c : QString::fromStdString(line).trimmed()) {
        if (c == QLatin1Char('"')) quoted = !quoted; // a doubled quote is dropped
        if (c == QLatin1Char(',') && !quoted)
            cells << QString();
        else if (c != QLatin1Char('"'))
            cells.back() += c;
    }
    return cells;
}

QString FormTest::Path(const QString& name) const {
    return dir_->filePath(name);
}

QString FormTest::WriteFile(const QString& name, const std::string& bytes) const {
    QFile f(Path(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes.data(), qint64(bytes.size()));
    return f.fileName();
}

std::string FormTest::ReadBytes(const QString& name) const {
    QFile f(QDir::isAbsolutePath(name) ? name : Path(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

QString FormTest::WriteSpectrum(const QString& name, int n, double x0, const std::string& line1) {
    kivo::ParamSpec p;
    p.Line1 = line1.empty() ? name.toStdString() : line1;
    p.NumPoints = static_cast<uint16_t>(n);
    p.Gain = 2e4;
    p.Modulation = 1;
    p.Power = 20;
    std::vector<float> x(static_cast<size_t>(n)), y(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        x[size_t(k)] = float(x0 + 0.5 * k);
        const double t = (k - n / 2.0) / (n / 8.0);
        y[size_t(k)] = float(-t * std::exp(-t * t));
    }
    return WriteFile(name, kivo::FormatSpectrum(p, x.data(), y.data()));
}

void FormTest::ReadFiles(const QStringList& names) {
    AnswerFiles(names);
    Key(Qt::Key_F3);
}

void FormTest::DropFiles(const QStringList& names, Qt::KeyboardModifiers modifiers) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& n : names) urls << QUrl::fromLocalFile(Path(n));
    data.setUrls(urls);
    const QPointF at(form->width() / 2.0, form->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::NoButton, modifiers);
    QCoreApplication::sendEvent(form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::NoButton, modifiers);
    QCoreApplication::sendEvent(form.get(), &drop);
    Settle();
}

void FormTest::Key(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = form.get();
    QTest::keyClick(target, key, modifiers);
    Settle();
}

void FormTest::NativeKey(int key, Qt::KeyboardModifiers modifiers, quint32 keycode, quint32 keysym,
                         const QString& text) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = form.get();
    QKeyEvent claim(QEvent::ShortcutOverride, key, modifiers, keycode, keysym, 0, text);
    claim.ignore();
    QApplication::sendEvent(target, &claim);
    // Unclaimed, the key goes to the shortcuts, which see no native data.
    if (!claim.isAccepted() && qt_sendShortcutOverrideEvent(target, 0, key, modifiers, text)) {
        Settle();
        return;
    }
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent e(type, key, modifiers, keycode, keysym, 0, text);
        QApplication::sendEvent(target, &e);
    }
    Settle();
}

void FormTest::Settle() {
    QApplication::processEvents();
}

void FormTest::DoubleClick(QWidget* w) {
    static quint64 clock = 1'000'000;
    clock += 10'000;
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    const QPointF global = w->mapToGlobal(at);
    const QEvent::Type sequence[] = {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                     QEvent::MouseButtonPress, QEvent::MouseButtonDblClick,
                                     QEvent::MouseButtonRelease};
    for (QEvent::Type type : sequence) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent e(type, at, global, Qt::LeftButton, held, Qt::NoModifier);
        e.setTimestamp(clock += 40);
        QApplication::sendEvent(w, &e);
    }
    Settle();
}

QStringList FormTest::Captions() const {
    QStringList result;
    for (int i = 1; i <= kivo::MaxSpec; ++i)
        if (form->Ui.SpecCheck[i]->isVisibleTo(form.get())) result << form->Ui.SpecCheck[i]->text();
    return result;
}
