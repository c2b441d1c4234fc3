// The Qt wizard window, built through the same code as the program and driven as a user would:
// mouse clicks and keys on widgets found by object name, waits by polling.
#include <QtTest>
#include <QtWidgets>

#include <memory>

#include "tests/support/Fakes.h"
#include "app/Catalogue.h"
#include "app/qt/Wizard.h"
#include "resources/ControlNames.h"

using namespace kurdb;

namespace {

constexpr const char* kNoSettingsLine = "Server Bağlantı Parametresi mevcut değil!";

QString S(const char* utf8) {
    return QString::fromUtf8(utf8);
}

template <typename T = QWidget>
T* Find(const QWidget& window, const char* name) {
    return window.findChild<T*>(S(name));
}

// The control that has the keyboard focus, by control name: the tab bar counts as its page
// control and a radio button as its group.
QString FocusedControl() {
    QWidget* w = QApplication::focusWidget();
    if (!w) return QStringLiteral("(none)");
    if (qobject_cast<QTabBar*>(w) || qobject_cast<QRadioButton*>(w)) return w->parentWidget()->objectName();
    return w->objectName();
}

// Clicks a radio button or check box on its indicator, which is inside the clickable area
// whatever the length of its caption.
void ClickIndicator(QAbstractButton* button) {
    QStyleOptionButton opt;
    opt.initFrom(button);
    const auto element =
        qobject_cast<QRadioButton*>(button) ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator;
    const QRect indicator = button->style()->subElementRect(element, &opt, button);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

// Types text key by key; unlike QTest::keyClicks it takes letters outside Latin-1.
void Type(QWidget* w, const QString& text) {
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// Answers the next modal message box with one key, from a timer that polls the event loop the
// box runs in, and records what the box showed. A box that the key does not close is closed on
// a later poll and `forced` is set, so a wrong answer fails the test instead of hanging it.
struct BoxAnswerer {
    explicit BoxAnswerer(Qt::Key key) {
        QObject::connect(&timer, &QTimer::timeout, [this, key] { Poll(key); });
        timer.start(5);
    }

    bool answered = false, forced = false;
    QString title, text, defaultButton, escapeButton;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* parent = nullptr;
    int polls = 0;
    QTimer timer;

    void Poll(Qt::Key key) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        // Keys go where a user's would: to the box once it is the active window.
        if (!answered && QApplication::activeWindow() != box && ++polls < 400) return;
        if (answered) {
            if (++polls < 800) return;
            forced = true;
            box->done(QDialog::Rejected);
            return;
        }
        answered = true;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        if (box->defaultButton()) defaultButton = box->defaultButton()->text();
        if (box->escapeButton()) escapeButton = box->escapeButton()->text();
        parent = box->parentWidget();
        QTest::keyClick(box, key);
    }
};

// The wizard's window on the controller with test doubles behind it, as the program puts it
// together: the front end's host, the runner, the controller, the window.
struct FakeStack {
    explicit FakeStack(int edition)
        : controller(form, runs.HandlerHost(), EditionFor(edition),
                     {platform, profiles, database, registry, processes, links}) {
        runs.Attach(controller);
        services.SetWindow(&window);
        controller.FormCreate();
        window.show();
        controller.FormShow();
    }
    ~FakeStack() {
        processesGate.Open();
        QTRY_VERIFY_WITH_TIMEOUT(!runs.Running(), 15000);  // the controller outlives its run
    }

    test::FakePlatform platform;
    test::MemoryProfiles profiles;
    db::Components database{std::make_unique<db::OdbcEngine>("kurdb-no-such-driver-manager")};
    test::MemoryRegistry registry;
    test::RecordingProcesses processes;
    test::RecordingShellLinks links;
    test::Gate processesGate;  // a program's start waits here once `processes.onOpen` says so
    qt::QtFormHost services;
    FormModel form{WindowDef::Embedded()};
    HandlerRunner runs{services};
    TFFirmaDB controller;
    qt::WizardWindow window{form, runs, services};
};

// The page-1 controls as designed: left, top, width, height relative to the page.
const std::pair<const char*, QRect> kPageOne[] = {
    {controls::cbTerminal, {107, 9, 286, 44}},   {controls::Label4, {72, 68, 78, 16}},
    {controls::Label5, {71, 98, 86, 16}},        {controls::Label6, {71, 119, 33, 16}},
    {controls::editServer, {160, 64, 177, 24}},  {controls::editUser, {160, 96, 177, 24}},
    {controls::editPass, {160, 128, 177, 24}},   {controls::cbKaydet, {161, 167, 281, 17}},
    {controls::cbFirmalar, {160, 193, 281, 17}}, {controls::btnConnect, {375, 227, 127, 27}},
    {controls::Label3, {429, 257, 73, 16}},
};

}  // namespace

class WizardWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<qt::Wizard> wizard_;
    QWidget& Window() { return wizard_->Window(); }
    FormModel& Form() { return wizard_->Root().Form(); }
    QTabWidget* Pages() { return Find<QTabWidget>(Window(), controls::cxPage); }
    QLineEdit* User() { return Find<QLineEdit>(Window(), controls::editUser); }
    QCheckBox* Companies() { return Find<QCheckBox>(Window(), controls::cbFirmalar); }

private slots:
    void initTestCase() {
        // The window is closed by some cases; the test program goes on regardless.
        QApplication::setQuitOnLastWindowClosed(false);
        // The shipped program reads the settings file beside itself, which is beside this test.
        const QString settings = QCoreApplication::applicationDirPath() + QStringLiteral("/Duranix.ini");
        if (QFile::exists(settings)) QVERIFY(QFile::remove(settings));
    }

    void init() {
        wizard_ = std::make_unique<qt::Wizard>();
        wizard_->Open();
        QVERIFY(QTest::qWaitForWindowExposed(&Window()));
        Window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Window()));
    }

    void cleanup() { wizard_.reset(); }

    void windowFollowsDefinition() {
        // started with no settings file beside the program
        QTRY_COMPARE(Find<QPlainTextEdit>(Window(), controls::Memo1)->toPlainText(), S(kNoSettingsLine));
        QCOMPARE(Form().Lines(controls::Memo1), std::vector<std::string>{kNoSettingsLine});
        QVERIFY(Find<QLineEdit>(Window(), controls::editServer)->text().isEmpty());
        QCOMPARE(FocusedControl(), S(controls::editServer));  // what the user types first goes there
        QCOMPARE(User()->text(), S("DURANIX"));
        QVERIFY(Find(Window(), controls::cbFirmaAc)->isVisibleTo(Pages()->widget(2)));

        QCOMPARE(Window().windowTitle(), S("DURANIX Veritabanı Kurulumu"));
        QTRY_COMPARE(Window().frameGeometry().size(), QSize(554, 374));
        auto* title = Find<QLabel>(Window(), controls::RxLabel1);
        QCOMPARE(title->text(), S("DURANIX DORVA VERİTABANI KURULUMU"));
        QCOMPARE(title->geometry(), QRect(0, 3, 538, 24));

        QTabWidget* pages = Pages();
        QCOMPARE(pages->geometry(), QRect(9, 30, 521, 305));
        QStringList tabs;
        for (int i = 0; i < pages->count(); ++i) tabs << pages->tabText(i);
        QCOMPARE(tabs, (QStringList{S("Bağlan"), S("Güncelle"), S("Bitir"), S("Rapor")}));
        QCOMPARE(pages->currentIndex(), 0);

        for (const auto& [name, geometry] : kPageOne) {
            QWidget* w = Find(Window(), name);
            QVERIFY2(w, name);
            QCOMPARE(w->parentWidget()->objectName(), S(controls::cxTabSheet1));
            if (qobject_cast<QLabel*>(w)) {
                // labels fit themselves to their text from the designed place, never smaller
                QCOMPARE(w->pos(), geometry.topLeft());
                QVERIFY2(w->width() >= geometry.width() && w->height() >= geometry.height(), name);
            } else {
                QCOMPARE(w->geometry(), geometry);
            }
        }
        // fonts: the form's, a page-1 control's, a bigger page-2 caption's, the title's
        QCOMPARE(Window().font().pixelSize(), 11);
        QCOMPARE(User()->font().pixelSize(), 13);
        QVERIFY(User()->font().bold() && !Window().font().bold());
        QCOMPARE(Find(Window(), controls::cbGuncel)->font().pixelSize(), 16);
        QCOMPARE(title->font().pixelSize(), 19);
        QVERIFY(title->font().bold());

        // the radio items side by side inside their box, clear of its caption
        auto* place = Find<QGroupBox>(Window(), controls::cbTerminal);
        auto* main = Find<QRadioButton>(Window(), "cbTerminal_0");
        auto* terminal = Find<QRadioButton>(Window(), "cbTerminal_1");
        QCOMPARE(place->title(), S(" Kurulum Yeri "));
        QCOMPARE(main->text(), S("Ana Makine"));
        QCOMPARE(main->y(), terminal->y());
        QVERIFY(terminal->x() >= main->geometry().right());
        QVERIFY(place->rect().contains(main->geometry()) && place->rect().contains(terminal->geometry()));
        QVERIFY(main->y() >= place->contentsRect().top());
        QVERIFY(terminal->isChecked() && !main->isChecked());
        QCOMPARE(Find<QPushButton>(Window(), controls::BitBtn2)->text(), S("&Son"));
        QVERIFY(!Find(Window(), controls::BitBtn1));  // invisible buttons have no widget
    }

    // Whatever face stands in for the design's, captions are not cut and nothing overlaps.
    void controlsFitTheirPagesAndCaptions() {
        for (int i = 0; i < Pages()->count(); ++i) {
            QWidget* page = Pages()->widget(i);
            const auto children = page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            for (QWidget* w : children) {
                QVERIFY2(page->rect().contains(w->geometry()), qPrintable(w->objectName()));
                for (QWidget* other : children)
                    QVERIFY2(other == w || !w->geometry().intersects(other->geometry()),
                             qPrintable(w->objectName() + S(" overlaps ") + other->objectName()));
            }
        }
        for (QLabel* label : Window().findChildren<QLabel*>())
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->objectName()));
        for (QAbstractButton* b : Window().findChildren<QAbstractButton*>()) {
            if (qobject_cast<QTabBar*>(b->parentWidget())) continue;  // the tab bar's scroll buttons
            const auto metric = [b](QStyle::PixelMetric m) { return b->style()->pixelMetric(m, nullptr, b); };
            int indicator = 0;
            if (qobject_cast<QRadioButton*>(b))
                indicator =
                    metric(QStyle::PM_ExclusiveIndicatorWidth) + metric(QStyle::PM_RadioButtonLabelSpacing);
            else if (qobject_cast<QCheckBox*>(b))
                indicator = metric(QStyle::PM_IndicatorWidth) + metric(QStyle::PM_CheckBoxLabelSpacing);
            QVERIFY2(indicator + b->fontMetrics().horizontalAdvance(b->text()) <= b->width(),
                     qPrintable(b->objectName()));
        }
    }

    void radioGroupChoosesMachineKind() {
        auto* main = Find<QRadioButton>(Window(), "cbTerminal_0");
        auto* terminal = Find<QRadioButton>(Window(), "cbTerminal_1");
        ClickIndicator(main);
        QTRY_COMPARE(User()->text(), S("sa"));
        QTRY_VERIFY(!wizard_->Root().Runs().Running());  // the handler's run has ended
        QVERIFY(Companies()->isChecked());
        QVERIFY(main->isChecked() && !terminal->isChecked());
        QCOMPARE(Form().ItemIndex(controls::cbTerminal), 0);

        // arrow keys walk the items in order, selecting as they go, and wrap at the ends
        QTest::keyClick(main, Qt::Key_Right);
        QTRY_VERIFY(terminal->hasFocus() && terminal->isChecked());
        QTRY_COMPARE(User()->text(), S("DURANIX"));
        QTRY_VERIFY(!wizard_->Root().Runs().Running());
        QVERIFY(!Companies()->isChecked());
        QCOMPARE(Form().ItemIndex(controls::cbTerminal), 1);
        QTest::keyClick(terminal, Qt::Key_Right);
        QTRY_VERIFY(main->hasFocus() && main->isChecked());
        QTRY_COMPARE(User()->text(), S("sa"));
    }

    void userInputReachesModel() {
        auto* server = Find<QLineEdit>(Window(), controls::editServer);
        server->setFocus();
        Type(server, S("ŞUBE\\SQL"));
        QCOMPARE(Form().Text(controls::editServer), std::string("ŞUBE\\SQL"));
        // the password reaches the model as typed and shows one "*" per character, as on Windows
        auto* password = Find<QLineEdit>(Window(), controls::editPass);
        password->setFocus();
        Type(password, S("Şifre1"));
        QCOMPARE(Form().Text(controls::editPass), std::string("Şifre1"));
        QCOMPARE(password->displayText(), S("******"));
        ClickIndicator(Find<QCheckBox>(Window(), controls::cbKaydet));
        QTRY_VERIFY(!Form().Checked(controls::cbKaydet));

        QTabBar* bar = Pages()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(3).center());
        QTRY_COMPARE(Form().ActivePage(controls::cxPage), 3);
        auto* memo = Find<QPlainTextEdit>(Window(), controls::Memo1);
        memo->setFocus();
        memo->moveCursor(QTextCursor::End);
        QTest::keyClick(memo, Qt::Key_Return);
        Type(memo, S("kendi notum"));
        QCOMPARE(Form().Lines(controls::Memo1), (std::vector<std::string>{kNoSettingsLine, "kendi notum"}));
    }

    void modelChangesReachWidgets() {
        auto* memo = Find<QPlainTextEdit>(Window(), controls::Memo1);
        wizard_->Root().Controller().LogLine("Hata: birinci\r\nikinci");
        QTRY_COMPARE(memo->toPlainText(), S(kNoSettingsLine) + S("\nHata: birinci\nikinci"));
        // the log follows its last line
        Form().SetActivePage(controls::cxPage, 3);
        for (int i = 0; i < 60; ++i) wizard_->Root().Controller().LogLine("Satır " + std::to_string(i));
        QScrollBar* bar = memo->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        QTRY_COMPARE(bar->value(), bar->maximum());
        Form().SetActivePage(controls::cxPage, 0);
        Form().SetLines(controls::Memo1, {"tek"});
        QTRY_COMPARE(memo->toPlainText(), S("tek"));
        Form().SetVisible(controls::cbFirmaAc, false);
        QTRY_VERIFY(Find(Window(), controls::cbFirmaAc)->isHidden());
        Form().SetActivePage(controls::cxPage, 3);
        QTRY_COMPARE(Pages()->currentIndex(), 3);
        Form().SetItemIndex(controls::cbTerminal, 0);
        QTRY_VERIFY(Find<QRadioButton>(Window(), "cbTerminal_0")->isChecked());
        // a change made by the program is not a user's click: the handler does not run
        QCOMPARE(User()->text(), S("DURANIX"));
    }

    void pageOneTabOrder() {
        const QStringList cycle{controls::editServer, controls::editUser,   controls::editPass,
                                controls::btnConnect, controls::cbFirmalar, controls::cbKaydet,
                                controls::cbTerminal, controls::cxPage};
        Find(Window(), controls::editServer)->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(FocusedControl(), cycle.front());
        // twice round, to see the cycle close and only one radio item stop
        QStringList forward;
        for (int i = 0; i < 2 * cycle.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            forward << FocusedControl();
            // the radio group is entered on its selected item, never on the other
            if (auto* radio = qobject_cast<QRadioButton*>(QApplication::focusWidget()))
                QVERIFY2(radio->isChecked(), qPrintable(radio->text()));
        }
        QCOMPARE(forward, cycle.mid(1) + cycle + cycle.mid(0, 1));
        QStringList backward;  // Shift+Tab walks it the other way
        for (int i = 0; i < cycle.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            backward.prepend(FocusedControl());
        }
        QCOMPARE(backward, cycle);
        QCOMPARE(Pages()->currentIndex(), 0);
    }

    void ctrlTabChangesPage() {
        Find(Window(), controls::editServer)->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(FocusedControl(), S(controls::editServer));
        QList<int> seen;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
            seen << Form().ActivePage(controls::cxPage);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        seen << Form().ActivePage(controls::cxPage);
        QCOMPARE(seen, (QList<int>{1, 2, 3, 0, 3}));
        QCOMPARE(Pages()->currentIndex(), 3);
    }

    void accessKeyFinishesOnItsPageOnly() {
        QTest::keyClick(&Window(), Qt::Key_S, Qt::AltModifier);
        QVERIFY(Window().isVisible());  // "&Son" is on a page that is not shown
        Form().SetActivePage(controls::cxPage, 2);
        QTRY_COMPARE(Pages()->currentIndex(), 2);
        QTest::keyClick(&Window(), Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(!Window().isVisible());
    }

    void confirmationDialog() {
        qt::QtFormHost& host = wizard_->Host();
        {
            BoxAnswerer enter(Qt::Key_Return);
            QVERIFY(host.Confirm("Firmalar veritabanı kurulsun mu?"));
            QVERIFY(enter.answered && !enter.forced);
            QCOMPARE(enter.title, S("Onay"));
            QCOMPARE(enter.text, S("Firmalar veritabanı kurulsun mu?"));
            QCOMPARE(enter.icon, QMessageBox::Question);
            QCOMPARE(enter.buttons.size(), 2);
            QCOMPARE(enter.defaultButton, S("&Evet"));
            QCOMPARE(enter.escapeButton, S("&Hayır"));
        }
        BoxAnswerer escape(Qt::Key_Escape);
        QVERIFY(!host.Confirm("Devam edilsin mi?"));
        QVERIFY(escape.answered && !escape.forced);
    }

    void errorBox() {
        BoxAnswerer enter(Qt::Key_Return);
        wizard_->Host().ShowError("Bağlantı kurulamadı.", "Kurdb");
        QVERIFY(enter.answered && !enter.forced);
        QCOMPARE(enter.icon, QMessageBox::Critical);
        QCOMPARE(enter.buttons.size(), 1);
        QCOMPARE(enter.text, S("Bağlantı kurulamadı."));
        QCOMPARE(enter.title, S("Kurdb"));
        QCOMPARE(enter.parent, &Window());
        QVERIFY(Window().isVisible());
    }

    void editionEighteenHidesNewCompanyBox() {
        FakeStack stack(18);
        QTRY_VERIFY(Find(stack.window, controls::cbFirmaAc)->isHidden());
        QVERIFY(!Find(stack.window, controls::BitBtn2)->isHidden());
    }

    // A press runs its handler on a worker: the window shows the run's lines as they come and its
    // busy bar, and drops the clicks given meanwhile; the second click of a double click among
    // them, which would otherwise press what the run shows next.
    void pressRunsOnceAndDropsInputMeanwhile() {
        FakeStack stack(3);
        QVERIFY(QTest::qWaitForWindowActive(&stack.window));
        stack.processes.onOpen = [&](const std::string&) { stack.processesGate.Wait(); };
        stack.form.SetActivePage(controls::cxPage, 1);
        auto* next = Find<QPushButton>(stack.window, controls::Button1);
        QTRY_VERIFY(next->isVisible());
        QTest::mouseClick(next, Qt::LeftButton);  // shortcuts, then the updater's start waits
        QVERIFY(stack.runs.Running());
        QTest::mouseDClick(next, Qt::LeftButton);
        QTest::keyClick(next, Qt::Key_Space);
        ClickIndicator(Find<QCheckBox>(stack.window, controls::cbGuncel));
        auto* memo = Find<QPlainTextEdit>(stack.window, controls::Memo1);
        QTRY_VERIFY(memo->toPlainText().endsWith(S("Kısayollar oluşturuldu.")));
        QVERIFY(stack.runs.Running());
        QVERIFY(Find(stack.window, "busy")->isVisible());
        QCOMPARE(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor,
                 Qt::WaitCursor);

        stack.processesGate.Open();
        QTRY_VERIFY(!stack.runs.Running());
        QCOMPARE(stack.processes.opened.size(), std::size_t{1});
        QCOMPARE(stack.form.ActivePage(controls::cxPage), 2);
        QVERIFY(stack.form.Checked(controls::cbGuncel));
        QVERIFY(stack.window.isVisible());
        QVERIFY(!Find(stack.window, "busy")->isVisible());
        QVERIFY(!QApplication::overrideCursor());
    }

    void closeDuringARunWaitsForItsEnd() {
        FakeStack stack(3);
        stack.processes.onOpen = [&](const std::string&) { stack.processesGate.Wait(); };
        stack.form.SetActivePage(controls::cxPage, 1);
        QVERIFY(stack.runs.Press(controls::Button1));
        QVERIFY(!stack.window.close());
        QVERIFY(stack.window.isVisible());
        stack.processesGate.Open();
        QTRY_VERIFY(!stack.window.isVisible());
        QCOMPARE(stack.form.ActivePage(controls::cxPage), 2);  // the run ended before the close
    }
};

QTEST_MAIN(WizardWindowTest)
#include "test_window.moc"