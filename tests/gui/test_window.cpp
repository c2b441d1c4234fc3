// The Qt wizard window, built through the same code as the program and driven as a user would:
// mouse clicks and keys on widgets found by object name, waits by polling.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <memory>

#include "FakeServices.h"
#include "app/Catalogue.h"
#include "app/qt/Wizard.h"

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

// Clicks a radio button where its indicator is, which is inside the clickable area whatever the
// length of its caption.
void ClickRadio(QRadioButton* radio) {
    QStyleOptionButton opt;
    opt.initFrom(radio);
    const QRect indicator = radio->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &opt, radio);
    QTest::mouseClick(radio, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

// Types text key by key; unlike QTest::keyClicks it takes letters outside Latin-1.
void Type(QWidget* w, const QString& text) {
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

void ClickCheckBox(QCheckBox* check) {
    QStyleOptionButton opt;
    opt.initFrom(check);
    const QRect indicator = check->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, check);
    QTest::mouseClick(check, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

// Answers the next modal message box with one key, from a timer that polls the event loop the
// box runs in, and records what the box showed. A box that the key does not close is closed on
// a later poll and `forced` is set, so a wrong answer fails the test instead of hanging it.
class BoxAnswerer {
public:
    explicit BoxAnswerer(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
        : key_(key), modifiers_(modifiers) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    bool answered = false;
    bool forced = false;
    QString title, text, defaultButton, escapeButton;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* parent = nullptr;
    Qt::WindowModality modality = Qt::NonModal;
    QRect frame;
    Qt::CursorShape cursor = Qt::BitmapCursor;  // no override cursor
    bool hadOverrideCursor = false;

private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        // Keys go where a user's would: to the box once it is the active window.
        if (!answered && QApplication::activeWindow() != box && ++pollsWhileInactive_ < kActivationPolls)
            return;
        if (answered) {
            // Buttons pressed by their access key click a moment later (animateClick).
            if (++pollsAfterAnswer_ < kActivationPolls) return;
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
        modality = box->windowModality();
        frame = box->frameGeometry();
        hadOverrideCursor = QApplication::overrideCursor() != nullptr;
        if (hadOverrideCursor) cursor = QApplication::overrideCursor()->shape();
        QTest::keyClick(box, key_, modifiers_);
    }

    static constexpr int kActivationPolls = 400;
    Qt::Key key_;
    Qt::KeyboardModifiers modifiers_;
    int pollsWhileInactive_ = 0;
    int pollsAfterAnswer_ = 0;
    QTimer timer_;
};

// Settings reads fail, as with an unreadable settings file.
class UnreadableProfiles final : public IProfileFiles {
public:
    std::string ReadString(const std::string& path, const std::string&, const std::string&,
                           const std::string&) override {
        throw EPlatformError("Cannot open file " + path);
    }
    void WriteString(const std::string&, const std::string&, const std::string&,
                     const std::string&) override {}
};

// A window on the controller with test doubles behind it, for what the shipped program cannot
// show: another edition, a failing settings read.
struct FakedWizard {
    explicit FakedWizard(int edition, IProfileFiles& profileFiles)
        : form(WindowDef::Embedded()),
          controller(form, services, EditionFor(edition), {platform, profileFiles, connection}),
          window(form, controller, services) {
        services.SetWindow(&window);
    }
    test::FakePlatform platform;
    test::FakeConnection connection;
    qt::QtWindowServices services;
    FormModel form;
    TFFirmaDB controller;
    qt::WizardWindow window;
};

struct Placement {
    const char* name;
    const char* page;
    QRect geometry;
    int pixelSize;
};

// The page controls as designed: left, top, width, height relative to the page, font height.
const Placement kPlacements[] = {
    {"cbTerminal", "cxTabSheet1", {107, 9, 286, 44}, 13},
    {"Label4", "cxTabSheet1", {72, 68, 78, 16}, 13},
    {"Label5", "cxTabSheet1", {71, 98, 86, 16}, 13},
    {"Label6", "cxTabSheet1", {71, 119, 33, 16}, 13},
    {"editServer", "cxTabSheet1", {160, 64, 177, 24}, 13},
    {"editUser", "cxTabSheet1", {160, 96, 177, 24}, 13},
    {"editPass", "cxTabSheet1", {160, 128, 177, 24}, 13},
    {"cbKaydet", "cxTabSheet1", {161, 167, 281, 17}, 13},
    {"cbFirmalar", "cxTabSheet1", {160, 193, 281, 17}, 13},
    {"btnConnect", "cxTabSheet1", {375, 227, 127, 27}, 13},
    {"Label3", "cxTabSheet1", {429, 257, 73, 16}, 13},
    {"cbGuncel", "cxTabSheet2", {64, 32, 321, 17}, 16},
    {"cbKisayol", "cxTabSheet2", {64, 64, 321, 17}, 16},
    {"Button1", "cxTabSheet2", {372, 227, 127, 27}, 13},
    {"cbFirmaAc", "cxTabSheet3", {64, 32, 257, 17}, 16},
    {"BitBtn2", "cxTabSheet3", {371, 222, 129, 33}, 13},
    {"Memo1", "cxTabSheet4", {8, 10, 505, 255}, 13},
};

}  // namespace

class WizardWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<qt::Wizard> wizard_;
    QWidget& Window() { return wizard_->Window(); }
    FormModel& Form() { return wizard_->Parts().Form(); }
    QTabWidget* Pages() { return Find<QTabWidget>(Window(), "cxPage"); }

private slots:
    void initTestCase() {
        // The window is closed by some cases; the test program goes on regardless.
        QApplication::setQuitOnLastWindowClosed(false);
        // The shipped program reads the settings file beside itself, which is beside this test.
        const QString settings = QCoreApplication::applicationDirPath() + QStringLiteral("/Duranix.ini");
        if (QFile::exists(settings)) QVERIFY(QFile::remove(settings));
        QVERIFY(!QFile::exists(settings));
    }

    void init() {
        wizard_ = std::make_unique<qt::Wizard>();
        wizard_->Open();
        QVERIFY(QTest::qWaitForWindowExposed(&Window()));
        Window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Window()));
    }

    void cleanup() {
        wizard_.reset();
        // a case that failed while busy leaves its cursor behind; the next case starts clean
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }

    void windowFollowsDefinition() {
        QCOMPARE(Window().objectName(), S("FFirmaDB"));
        QCOMPARE(Window().windowTitle(), S("DURANIX Veritabanı Kurulumu"));
        QTRY_COMPARE(Window().frameGeometry().size(), QSize(554, 374));
        QVERIFY(Window().size().width() >= 538 && Window().size().height() >= 335);

        auto* title = Find<QLabel>(Window(), "RxLabel1");
        QVERIFY(title);
        QCOMPARE(title->text(), S("DURANIX DORVA VERİTABANI KURULUMU"));
        QCOMPARE(title->geometry(), QRect(0, 3, 538, 24));
        QVERIFY(title->alignment() & Qt::AlignHCenter);
        QVERIFY(title->font().bold());
        QCOMPARE(title->font().pixelSize(), 19);
        QCOMPARE(Window().font().pixelSize(), 11);
        QVERIFY(!Window().font().bold());

        QTabWidget* pages = Pages();
        QVERIFY(pages);
        QCOMPARE(pages->geometry(), QRect(9, 30, 521, 305));
        QStringList tabs;
        for (int i = 0; i < pages->count(); ++i) tabs << pages->tabText(i);
        QCOMPARE(tabs, (QStringList{S("Bağlan"), S("Güncelle"), S("Bitir"), S("Rapor")}));
        QCOMPARE(pages->currentIndex(), 0);
        QCOMPARE(pages->widget(3)->objectName(), S("cxTabSheet4"));

        for (const Placement& p : kPlacements) {
            QWidget* w = Find(Window(), p.name);
            QVERIFY2(w, p.name);
            QCOMPARE(w->parentWidget()->objectName(), S(p.page));
            if (qobject_cast<QLabel*>(w)) {
                // labels fit themselves to their text from the designed place, never smaller
                QCOMPARE(w->pos(), p.geometry.topLeft());
                QVERIFY2(w->width() >= p.geometry.width() && w->height() >= p.geometry.height(), p.name);
            } else {
                QCOMPARE(w->geometry(), p.geometry);
            }
            QCOMPARE(w->font().pixelSize(), p.pixelSize);
            QVERIFY2(w->font().bold(), p.name);
        }

        auto* place = Find<QGroupBox>(Window(), "cbTerminal");
        QCOMPARE(place->title(), S(" Kurulum Yeri "));
        auto* main = Find<QRadioButton>(Window(), "cbTerminal_0");
        auto* terminal = Find<QRadioButton>(Window(), "cbTerminal_1");
        QVERIFY(main && terminal);
        QCOMPARE(main->text(), S("Ana Makine"));
        QCOMPARE(terminal->text(), S("Terminal"));
        QCOMPARE(main->parentWidget(), place);
        // two columns side by side, both inside the box and clear of its caption
        QCOMPARE(main->y(), terminal->y());
        QVERIFY(terminal->x() >= main->geometry().right());
        QVERIFY(place->rect().contains(main->geometry()) && place->rect().contains(terminal->geometry()));
        QVERIFY(main->y() >= place->contentsRect().top());
        QVERIFY(terminal->isChecked() && !main->isChecked());

        QCOMPARE(Find<QCheckBox>(Window(), "cbKaydet")->text(), S("Bağlantı Parametrelerini Kaydet"));
        QVERIFY(Find<QCheckBox>(Window(), "cbKaydet")->isChecked());
        QVERIFY(!Find<QCheckBox>(Window(), "cbFirmalar")->isChecked());
        QVERIFY(Find<QCheckBox>(Window(), "cbGuncel")->isChecked());
        QVERIFY(Find<QCheckBox>(Window(), "cbKisayol")->isChecked());
        QVERIFY(!Find<QCheckBox>(Window(), "cbFirmaAc")->isChecked());
        QCOMPARE(Find<QPushButton>(Window(), "btnConnect")->text(), S("İleri"));
        QCOMPARE(Find<QPushButton>(Window(), "BitBtn2")->text(), S("&Son"));
        QCOMPARE(Find<QLabel>(Window(), "Label4")->text(), S("Server Adı "));
        QCOMPARE(Find<QLabel>(Window(), "Label3")->text(), S("03.06.2010"));

        auto* pass = Find<QLineEdit>(Window(), "editPass");
        QCOMPARE(pass->echoMode(), QLineEdit::Password);
        QCOMPARE(pass->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, pass), int('*'));
        QCOMPARE(Find<QLineEdit>(Window(), "editServer")->echoMode(), QLineEdit::Normal);

        auto* memo = Find<QPlainTextEdit>(Window(), "Memo1");
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(!memo->isReadOnly());

        // invisible buttons have no widget, and the design's hidden report label is not shown
        for (const char* action : {"BitBtn1", "Btn43", "BitBtn4", "BitBtn3"})
            QVERIFY2(!Find(Window(), action), action);
        for (QLabel* label : Window().findChildren<QLabel*>())
            QVERIFY(!label->text().contains(S("Sonuç Raporu")));
    }

    void controlsFitTheirPagesAndCaptions() {
        QTabWidget* pages = Pages();
        for (int i = 0; i < pages->count(); ++i) {
            QWidget* page = pages->widget(i);
            const auto children = page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            for (QWidget* w : children) {
                QVERIFY2(page->rect().contains(w->geometry()), qPrintable(w->objectName()));
                for (QWidget* other : children) {
                    if (other == w) continue;
                    QVERIFY2(!w->geometry().intersects(other->geometry()),
                             qPrintable(w->objectName() + S(" overlaps ") + other->objectName()));
                }
            }
        }
        for (QLabel* label : Window().findChildren<QLabel*>()) {
            const int needed = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(needed <= label->width(), qPrintable(label->objectName()));
        }
        for (QCheckBox* check : Window().findChildren<QCheckBox*>()) {
            const int indicator =
                check->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check) +
                check->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, check);
            QVERIFY2(indicator + check->fontMetrics().horizontalAdvance(check->text()) <= check->width(),
                     qPrintable(check->objectName()));
            QVERIFY2(check->fontMetrics().height() <= check->height() + 4, qPrintable(check->objectName()));
        }
        for (QRadioButton* radio : Window().findChildren<QRadioButton*>()) {
            const int indicator =
                radio->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, radio) +
                radio->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, radio);
            QVERIFY2(indicator + radio->fontMetrics().horizontalAdvance(radio->text()) <= radio->width(),
                     qPrintable(radio->objectName()));
        }
        for (QPushButton* button : Window().findChildren<QPushButton*>()) {
            QVERIFY2(button->sizeHint().height() <= button->height() + 4, qPrintable(button->objectName()));
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width(),
                     qPrintable(button->objectName()));
        }
    }

    void radioGroupChoosesMachineKind() {
        auto* main = Find<QRadioButton>(Window(), "cbTerminal_0");
        auto* terminal = Find<QRadioButton>(Window(), "cbTerminal_1");
        auto* user = Find<QLineEdit>(Window(), "editUser");
        auto* companies = Find<QCheckBox>(Window(), "cbFirmalar");
        QCOMPARE(user->text(), S("DURANIX"));

        ClickRadio(main);
        QTRY_COMPARE(user->text(), S("sa"));
        QVERIFY(companies->isChecked());
        QVERIFY(main->isChecked() && !terminal->isChecked());
        QCOMPARE(Form().ItemIndex("cbTerminal"), 0);
        QCOMPARE(Form().Text("editUser"), std::string("sa"));
        QVERIFY(Form().Checked("cbFirmalar"));

        ClickRadio(terminal);
        QTRY_COMPARE(user->text(), S("DURANIX"));
        QVERIFY(!companies->isChecked());
        QVERIFY(terminal->isChecked() && !main->isChecked());
        QCOMPARE(Form().ItemIndex("cbTerminal"), 1);
        QVERIFY(!Form().Checked("cbFirmalar"));
    }

    void arrowKeysWalkTheRadioGroup() {
        auto* main = Find<QRadioButton>(Window(), "cbTerminal_0");
        auto* terminal = Find<QRadioButton>(Window(), "cbTerminal_1");
        auto* user = Find<QLineEdit>(Window(), "editUser");
        terminal->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(terminal->hasFocus());

        QTest::keyClick(terminal, Qt::Key_Left);
        QTRY_VERIFY(main->hasFocus());
        QVERIFY(main->isChecked());
        QCOMPARE(user->text(), S("sa"));
        QVERIFY(Find<QCheckBox>(Window(), "cbFirmalar")->isChecked());

        QTest::keyClick(main, Qt::Key_Right);
        QTRY_VERIFY(terminal->hasFocus());
        QVERIFY(terminal->isChecked());
        QCOMPARE(user->text(), S("DURANIX"));

        // the ends wrap round
        QTest::keyClick(terminal, Qt::Key_Down);
        QTRY_VERIFY(main->isChecked());
        QTest::keyClick(main, Qt::Key_Up);
        QTRY_VERIFY(terminal->isChecked());
        QCOMPARE(Form().ItemIndex("cbTerminal"), 1);
    }

    void startWithoutSettingsFile() {
        auto* memo = Find<QPlainTextEdit>(Window(), "Memo1");
        QTRY_COMPARE(memo->toPlainText(), S(kNoSettingsLine));
        QCOMPARE(Form().Lines("Memo1"), std::vector<std::string>{kNoSettingsLine});
        QVERIFY(Find<QLineEdit>(Window(), "editServer")->text().isEmpty());
        QCOMPARE(Find<QLineEdit>(Window(), "editUser")->text(), S("DURANIX"));
        QVERIFY(Find<QCheckBox>(Window(), "cbFirmaAc")->isVisibleTo(Pages()->widget(2)));
    }

    void userInputReachesModel() {
        auto* server = Find<QLineEdit>(Window(), "editServer");
        server->setFocus();
        Type(server, S("ŞUBE\\SQL"));
        QCOMPARE(Form().Text("editServer"), std::string("ŞUBE\\SQL"));
        QTest::keyClick(server, Qt::Key_Backspace);
        QCOMPARE(Form().Text("editServer"), std::string("ŞUBE\\SQ"));

        auto* pass = Find<QLineEdit>(Window(), "editPass");
        Type(pass, S("gizli;}"));
        QCOMPARE(Form().Text("editPass"), std::string("gizli;}"));

        ClickCheckBox(Find<QCheckBox>(Window(), "cbKaydet"));
        QTRY_VERIFY(!Form().Checked("cbKaydet"));
        ClickCheckBox(Find<QCheckBox>(Window(), "cbFirmalar"));
        QTRY_VERIFY(Form().Checked("cbFirmalar"));

        QTabBar* bar = Pages()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(3).center());
        QTRY_COMPARE(Form().ActivePage("cxPage"), 3);

        auto* memo = Find<QPlainTextEdit>(Window(), "Memo1");
        memo->setFocus();
        memo->moveCursor(QTextCursor::End);
        QTest::keyClick(memo, Qt::Key_Return);
        Type(memo, S("kendi notum"));
        QCOMPARE(Form().Lines("Memo1"), (std::vector<std::string>{kNoSettingsLine, "kendi notum"}));
        memo->selectAll();
        QTest::keyClick(memo, Qt::Key_Delete);
        QVERIFY(Form().Lines("Memo1").empty());
    }

    void modelChangesReachWidgets() {
        TFFirmaDB& controller = wizard_->Parts().Controller();
        auto* memo = Find<QPlainTextEdit>(Window(), "Memo1");
        controller.LogLine("Hata: birinci\r\nikinci");
        QTRY_COMPARE(memo->toPlainText(), S(kNoSettingsLine) + S("\nHata: birinci\nikinci"));
        Form().SetLines("Memo1", {"tek"});
        QTRY_COMPARE(memo->toPlainText(), S("tek"));

        Form().SetText("editServer", "SUNUCU,1433");
        QTRY_COMPARE(Find<QLineEdit>(Window(), "editServer")->text(), S("SUNUCU,1433"));
        Form().SetText("RxLabel1", "BAŞKA");
        QTRY_COMPARE(Find<QLabel>(Window(), "RxLabel1")->text(), S("BAŞKA"));
        Form().SetChecked("cbGuncel", false);
        QTRY_VERIFY(!Find<QCheckBox>(Window(), "cbGuncel")->isChecked());
        Form().SetVisible("cbFirmaAc", false);
        QTRY_VERIFY(Find(Window(), "cbFirmaAc")->isHidden());
        Form().SetVisible("cbFirmaAc", true);
        QTRY_VERIFY(!Find(Window(), "cbFirmaAc")->isHidden());

        controller.AdvancePage();
        QTRY_COMPARE(Pages()->currentIndex(), 1);
        controller.AdvancePage();
        controller.AdvancePage();
        controller.AdvancePage();
        QTRY_COMPARE(Pages()->currentIndex(), 3);

        Form().SetItemIndex("cbTerminal", -1);
        QTRY_VERIFY(!Find<QRadioButton>(Window(), "cbTerminal_0")->isChecked());
        QVERIFY(!Find<QRadioButton>(Window(), "cbTerminal_1")->isChecked());
        Form().SetItemIndex("cbTerminal", 0);
        QTRY_VERIFY(Find<QRadioButton>(Window(), "cbTerminal_0")->isChecked());
        // a change made by the program is not a user's click: the handler does not run
        QCOMPARE(Find<QLineEdit>(Window(), "editUser")->text(), S("DURANIX"));
    }

    void tabOrderFollowsDefinition_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("cycle");
        QTest::newRow("Bağlan") << 0 << QStringList{"editServer", "editUser", "editPass",   "btnConnect",
                                                    "cbFirmalar", "cbKaydet", "cbTerminal", "cxPage"};
        QTest::newRow("Güncelle") << 1 << QStringList{"cbGuncel", "cbKisayol", "Button1", "cxPage"};
        QTest::newRow("Bitir") << 2 << QStringList{"cbFirmaAc", "BitBtn2", "cxPage"};
        QTest::newRow("Rapor") << 3 << QStringList{"Memo1", "cxPage"};
    }

    void tabOrderFollowsDefinition() {
        QFETCH(int, page);
        QFETCH(QStringList, cycle);
        Pages()->setCurrentIndex(page);
        QWidget* first = Find(Window(), qPrintable(cycle.front()));
        first->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(FocusedControl(), cycle.front());

        // twice round, to see the cycle close
        QStringList forward;
        for (int i = 0; i < 2 * cycle.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            forward << FocusedControl();
        }
        QCOMPARE(forward, cycle.mid(1) + cycle + cycle.mid(0, 1));

        QStringList backward;
        for (int i = 0; i < cycle.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            backward << FocusedControl();
        }
        QStringList expected;
        for (int i = cycle.size() - 1; i >= 0; --i) expected << cycle[i];
        QCOMPARE(backward, expected);
        QCOMPARE(Pages()->currentIndex(), page);
    }

    void tabStopsAtSelectedRadioItemOnly() {
        for (int item : {0, 1}) {
            ClickRadio(Find<QRadioButton>(Window(), item == 0 ? "cbTerminal_0" : "cbTerminal_1"));
            QTRY_COMPARE(Form().ItemIndex("cbTerminal"), item);
            Find(Window(), "cbKaydet")->setFocus(Qt::TabFocusReason);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTRY_COMPARE(QApplication::focusWidget()->objectName(),
                         qt::WizardWindow::RadioItemName("cbTerminal", item));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTRY_COMPARE(FocusedControl(), S("cxPage"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            QTRY_COMPARE(QApplication::focusWidget()->objectName(),
                         qt::WizardWindow::RadioItemName("cbTerminal", item));
        }
    }

    void ctrlTabChangesPage() {
        Find(Window(), "editServer")->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(FocusedControl(), S("editServer"));
        QList<int> seen;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
            seen << Pages()->currentIndex();
            QCOMPARE(Form().ActivePage("cxPage"), Pages()->currentIndex());
        }
        QCOMPARE(seen, (QList<int>{1, 2, 3, 0}));
        seen.clear();
        for (int i = 0; i < 2; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                            Qt::ControlModifier | Qt::ShiftModifier);
            seen << Pages()->currentIndex();
        }
        QCOMPARE(seen, (QList<int>{3, 2}));
        QCOMPARE(Form().ActivePage("cxPage"), 2);
    }

    void accessKeyFinishesOnItsPageOnly() {
        QTest::keyClick(&Window(), Qt::Key_S, Qt::AltModifier);
        QVERIFY(Window().isVisible());  // "&Son" is on a page that is not shown

        Form().SetActivePage("cxPage", 2);
        QTRY_COMPARE(Pages()->currentIndex(), 2);
        QTest::keyClick(&Window(), Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(!Window().isVisible());
    }

    void finishButtonClosesWindow() {
        Pages()->setCurrentIndex(2);
        QTest::mouseClick(Find(Window(), "BitBtn2"), Qt::LeftButton);
        QTRY_VERIFY(!Window().isVisible());
    }

    void confirmationDialog() {
        qt::QtWindowServices& services = wizard_->Services();
        {
            BoxAnswerer enter(Qt::Key_Return);
            QVERIFY(services.Confirm("Firmalar veritabanı kurulsun mu?"));
            QVERIFY(enter.answered && !enter.forced);
            QCOMPARE(enter.title, S("Onay"));
            QCOMPARE(enter.text, S("Firmalar veritabanı kurulsun mu?"));
            QCOMPARE(enter.icon, QMessageBox::Question);
            QCOMPARE(enter.buttons.size(), 2);
            QVERIFY(enter.buttons.contains(S("&Evet")) && enter.buttons.contains(S("&Hayır")));
            QCOMPARE(enter.defaultButton, S("&Evet"));
            QCOMPARE(enter.escapeButton, S("&Hayır"));
            QCOMPARE(enter.modality, Qt::ApplicationModal);
            // centred on the screen, not over the window
            const QPoint screenCentre = Window().screen()->availableGeometry().center();
            QVERIFY2((enter.frame.center() - screenCentre).manhattanLength() <= 4,
                     qPrintable(QStringLiteral("box at %1,%2 %3x%4")
                                    .arg(enter.frame.x())
                                    .arg(enter.frame.y())
                                    .arg(enter.frame.width())
                                    .arg(enter.frame.height())));
        }
        {
            BoxAnswerer escape(Qt::Key_Escape);
            QVERIFY(!services.Confirm("Devam edilsin mi?"));
            QVERIFY(escape.answered && !escape.forced);
        }
        {
            // the access key of "&Hayır" answers no
            BoxAnswerer no(Qt::Key_H, Qt::AltModifier);
            QVERIFY(!services.Confirm("Devam edilsin mi?"));
            QVERIFY(no.answered && !no.forced);
        }
    }

    void dialogsShowArrowWhileBusy() {
        qt::QtWindowServices& services = wizard_->Services();
        services.SetBusy(true);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            BoxAnswerer enter(Qt::Key_Return);
            QVERIFY(services.Confirm("Evet mi?"));
            QVERIFY(enter.hadOverrideCursor);
            QCOMPARE(enter.cursor, Qt::ArrowCursor);
        }
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        services.SetBusy(true);
        services.SetBusy(false);
        QVERIFY(QApplication::overrideCursor());
        services.SetBusy(false);
        QVERIFY(!QApplication::overrideCursor());
        services.SetBusy(false);  // one too many does not take someone else's cursor
        QApplication::setOverrideCursor(Qt::CrossCursor);
        services.SetBusy(false);
        QVERIFY(QApplication::overrideCursor());
        QApplication::restoreOverrideCursor();
    }

    void errorBox() {
        BoxAnswerer enter(Qt::Key_Return);
        wizard_->Services().ShowError("Bağlantı kurulamadı.", "Kurdb");
        QVERIFY(enter.answered && !enter.forced);
        QCOMPARE(enter.icon, QMessageBox::Critical);
        QCOMPARE(enter.buttons.size(), 1);
        QCOMPARE(enter.text, S("Bağlantı kurulamadı."));
        QCOMPARE(enter.title, S("Kurdb"));
        QCOMPARE(enter.parent, &Window());
        QVERIFY(enter.modality != Qt::NonModal);
        QVERIFY(Window().isVisible());
    }

    void controllerErrorShowsInErrorBox() {
        UnreadableProfiles profiles;
        FakedWizard faked(3, profiles);
        faked.controller.FormCreate();
        faked.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&faked.window));
        faked.platform.exe = "/opt/Kurdb/KURDB.EXE";
        BoxAnswerer enter(Qt::Key_Return);
        faked.controller.FormShow();
        QVERIFY(enter.answered && !enter.forced);
        QCOMPARE(enter.icon, QMessageBox::Critical);
        QCOMPARE(enter.title, S("Kurdb"));
        QCOMPARE(enter.text, S("Cannot open file /opt/Kurdb/Duranix.ini."));
        QCOMPARE(enter.parent, &faked.window);
        // the handler stopped at the read; what it did before stays, the window stays open
        QCOMPARE(Find<QLabel>(faked.window, "RxLabel1")->text(), S("DURANIX DORVA VERİTABANI KURULUMU"));
        QVERIFY(Find<QPlainTextEdit>(faked.window, "Memo1")->toPlainText().isEmpty());
        QVERIFY(faked.window.isVisible());
        QVERIFY(!QApplication::overrideCursor());
    }

    void editionWithoutNewCompanyBox() {
        test::MemoryProfiles profiles;
        FakedWizard faked(18, profiles);
        faked.controller.FormCreate();
        faked.window.show();
        faked.controller.FormShow();
        QTRY_VERIFY(Find(faked.window, "cbFirmaAc")->isHidden());
        QVERIFY(!Find(faked.window, "BitBtn2")->isHidden());
        QVERIFY(Find<QLabel>(faked.window, "RxLabel1")->text() != S("DURANIX DORVA VERİTABANI KURULUMU"));
    }
};

QTEST_MAIN(WizardWindowTest)
#include "test_window.moc"
