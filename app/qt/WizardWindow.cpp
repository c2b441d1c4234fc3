#include "app/qt/WizardWindow.h"

#include <algorithm>
#include <exception>
#include <map>
#include <utility>
#include <vector>

#include <QApplication>
#include <QCloseEvent>
#include <QCheckBox>
#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

#include "app/ErrorBox.h"
#include "base/Text.h"

namespace kurdb::qt {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The design's face is not on Linux machines. Use it where it is installed, else the first
// installed face with the same metrics as the one the geometry was drawn for; a condensed face
// keeps the captions inside their boxes otherwise. The face is chosen here once, from the list of
// installed families: left to Qt, an unknown face costs a fontconfig fallback search per font
// at start.
QString InstalledFace(const std::string& face) {
    static std::map<std::string, QString, std::less<>> chosen;
    if (const auto it = chosen.find(face); it != chosen.end()) return it->second;
    const QStringList installed = QFontDatabase::families();
    QString family = Q(face);
    for (const QString& candidate :
         {Q(face), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
          QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans Condensed")}) {
        if (installed.contains(candidate, Qt::CaseInsensitive)) {
            family = candidate;
            break;
        }
    }
    chosen.emplace(face, family);
    return family;
}

// A control's own font over its parent's; a control that names nothing keeps the parent's.
void ApplyFont(const ControlDef& c, QWidget* w) {
    const FontDef& f = c.font;
    if (f.face.empty() && f.pixelHeight <= 0 && !f.bold) return;
    QFont font = w->font();
    if (!f.face.empty()) {
        font.setFamily(InstalledFace(f.face));
        font.setStyleHint(QFont::SansSerif);
    }
    if (f.pixelHeight > 0) font.setPixelSize(f.pixelHeight);
    font.setBold(f.bold);
    w->setFont(font);
}

// Windows shows a password as "*"; Qt's styles show a bullet. A proxy of the application's own
// style changes only that (a style sheet would do the same at the cost of a style sheet engine).
class StarPasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

// One line per paragraph (Qt's plain text separates them with "\n"); an empty memo has no lines.
std::vector<std::string> LinesOf(const QString& text) {
    const std::string utf8 = text.toStdString();
    std::vector<std::string> lines;
    for (const kurdb::text::TextLine& line :
         kurdb::text::SplitLines(utf8, kurdb::text::LineBreaks::Lf, kurdb::text::FinalBreak::OpensLine))
        lines.emplace_back(line.text);
    return lines;
}

QString TextOf(const std::vector<std::string>& lines) {
    QStringList parts;
    for (const std::string& line : lines) parts << Q(line);
    return parts.join(QLatin1Char('\n'));
}

}  // namespace

bool WizardWindow::PrepareApplicationStyle() {
    // Asking QApplication for its style would make the default one only to replace it.
    static QPointer<QStyle> installed;
    if (installed && QApplication::style() == installed) return true;
    installed = new StarPasswordStyle;
    QApplication::setStyle(installed);
    return true;
}

QString WizardWindow::RadioItemName(std::string_view group, int index) {
    return Q(std::string(group)) + QLatin1Char('_') + QString::number(index);
}

WizardWindow::WizardWindow(FormModel& form, HandlerRunner& runs, IFormHost& host, QWidget* parent)
    : QWidget(parent), form_(form), runs_(runs), host_(host), token_(std::make_shared<WizardWindow*>(this)) {
    const WindowDef& def = form.Definition();
    const ControlDef& f = def.Form();
    setObjectName(Q(f.name));
    ApplyFont(f, this);
    widgets_[f.name] = this;
    CreateControls(f, this);

    // The definition gives the outer frame; the controls were laid out for the client area that
    // such a frame leaves, which is the extent of the form's children.
    designOuter_ = QSize(f.width, f.height);
    for (const ControlDef* c : def.ChildrenOf(f.name)) {
        if (c->kind == ControlKind::Action) continue;
        designClient_ = designClient_.expandedTo(QSize(c->left + c->width, c->top + c->height));
    }
    FitOuterFrame();
    move(f.left, f.top);

    BuildTabOrder();
    MirrorAll();
    FocusFirstControl();

    std::weak_ptr<WizardWindow*> token = token_;
    runs_.Subscribe(form_, [token](const std::string& control, Property what) {
        if (const auto self = token.lock()) (*self)->Mirror(control, what);
    });
    // The worker's changes and questions reach this thread as queued calls; qApp outlives
    // every window, and the runner's callable outlives nothing it needs.
    runs_.SetWaker(
        [work = runs_.PendingWork()] { QMetaObject::invokeMethod(qApp, work, Qt::QueuedConnection); });
    runs_.SetRunListener([token](bool running) {
        if (const auto self = token.lock()) (*self)->ShowRun(running);
    });
    // Input of every widget of the window passes here first, so that a run can drop it.
    qApp->installEventFilter(this);
}

WizardWindow::~WizardWindow() {
    // Children are deleted by ~QWidget after the members are gone; a signal from a dying child
    // must not reach the model or the controller then.
    closing_ = true;
    token_.reset();
    runs_.SetRunListener(nullptr);
    if (busyShown_) host_.SetBusy(false);  // a window gone during a run leaves no wait cursor
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

QWidget* WizardWindow::Control(std::string_view name) const {
    const auto it = widgets_.find(name);
    return it == widgets_.end() ? nullptr : it->second;
}

template <typename F>
void WizardWindow::Guarded(F&& body) noexcept {
    // The controller shows its own errors; this keeps anything that slips through from unwinding
    // into Qt's event loop, which cannot carry exceptions.
    if (closing_) return;
    try {
        body();
    } catch (const std::exception& e) {
        try {
            host_.ShowError(ErrorBoxText(e.what()), runs_.Controller().ApplicationTitle());
        } catch (...) {
        }
    } catch (...) {
    }
}

template <typename F>
void WizardWindow::WriteBack(F&& body) noexcept {
    // A widget's change that a mirror made is the model's own value: writing it back could
    // undo a newer value that the worker has set meanwhile.
    if (mirroring_) return;
    Guarded(std::forward<F>(body));
}

void WizardWindow::ClickControl(const std::string& control) {
    Guarded([this, &control] { runs_.Press(control); });
}

void WizardWindow::CreateControls(const ControlDef& parent, QWidget* into) {
    for (const ControlDef* c : form_.Definition().ChildrenOf(parent.name)) {
        if (c->kind == ControlKind::Action || c->kind == ControlKind::Page) continue;
        QWidget* w = CreateControl(*c, into);
        if (!w) continue;
        w->setObjectName(Q(c->name));
        widgets_[c->name] = w;
    }
}

QWidget* WizardWindow::CreateControl(const ControlDef& c, QWidget* into) {
    const std::string name = c.name;
    QWidget* made = nullptr;
    switch (c.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(into);
            label->setAlignment((c.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
            made = label;
            break;
        }
        case ControlKind::PageControl: {
            auto* pages = new QTabWidget(into);
            ApplyFont(c, pages);
            for (const ControlDef* p : form_.Definition().PagesOf(c.name)) {
                auto* page = new QWidget();
                page->setObjectName(Q(p->name));
                ApplyFont(*p, page);
                pages->addTab(page, Q(p->caption));
                widgets_[p->name] = page;
                CreateControls(*p, page);
            }
            // The busy bar sits beside the tabs, where the strip leaves room.
            busy_ = new QProgressBar();
            busy_->setObjectName(QStringLiteral("busy"));
            busy_->setRange(0, 0);  // no figure to show: the bar runs to and fro
            busy_->setTextVisible(false);
            busy_->setFixedSize(120, 12);
            busy_->hide();
            pages->setCornerWidget(busy_, Qt::TopRightCorner);
            connect(pages, &QTabWidget::currentChanged, this, [this, name](int index) {
                WriteBack([&] {
                    if (index >= 0 && form_.ActivePage(name) != index) form_.SetActivePage(name, index);
                });
            });
            made = pages;
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(into);
            if (c.password) edit->setEchoMode(QLineEdit::Password);
            connect(edit, &QLineEdit::textChanged, this, [this, name](const QString& text) {
                WriteBack([&] {
                    std::string value = text.toStdString();
                    if (form_.Text(name) != value) form_.SetText(name, std::move(value));
                });
            });
            made = edit;
            break;
        }
        case ControlKind::RadioGroup: {
            auto* box = new QGroupBox(Q(form_.Text(c.name)), into);
            ApplyFont(c, box);
            box->setGeometry(c.left, c.top, c.width, c.height);
            CreateRadioItems(c, box);
            made = box;
            break;
        }
        case ControlKind::CheckBox: {
            auto* check = new QCheckBox(into);
            connect(check, &QCheckBox::toggled, this, [this, name](bool on) {
                WriteBack([&] {
                    if (form_.Checked(name) != on) form_.SetChecked(name, on);
                });
            });
            made = check;
            break;
        }
        case ControlKind::Button: {
            auto* button = new QPushButton(into);
            // A focused button takes Enter as well as Space, as buttons do on Windows.
            button->setAutoDefault(true);
            connect(button, &QPushButton::clicked, this, [this, name] { ClickControl(name); });
            made = button;
            break;
        }
        case ControlKind::Memo: {
            auto* memo = new QPlainTextEdit(into);
            memo->setLineWrapMode(QPlainTextEdit::NoWrap);
            memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            memo->setTabChangesFocus(true);
            connect(memo, &QPlainTextEdit::textChanged, this, [this, name, memo] {
                WriteBack([&] {
                    std::vector<std::string> lines = LinesOf(memo->toPlainText());
                    if (form_.Lines(name) != lines) form_.SetLines(name, std::move(lines));
                });
            });
            made = memo;
            break;
        }
        case ControlKind::Form:
        case ControlKind::Page:
        case ControlKind::Action:
            return nullptr;
    }
    if (c.kind != ControlKind::PageControl && c.kind != ControlKind::RadioGroup) ApplyFont(c, made);
    made->setGeometry(c.left, c.top, c.width, c.height);
    return made;
}

void WizardWindow::CreateRadioItems(const ControlDef& c, QGroupBox* box) {
    for (int i = 0; i < static_cast<int>(c.items.size()); ++i) {
        auto* radio = new QRadioButton(Q(c.items[static_cast<std::size_t>(i)]), box);
        radio->setObjectName(RadioItemName(c.name, i));
        connect(radio, &QRadioButton::clicked, this, [this, &c, i] { SelectRadioItem(c, i); });
    }
    LayoutRadioGroup(c, box);
}

void WizardWindow::LayoutRadioGroup(const ControlDef& c, QGroupBox* box) {
    // Columns as a Windows radio group makes them: (width - 10) / columns wide, starting 8 pixels
    // in. The rows share the space that the style leaves inside the frame under the caption, so
    // the buttons stay clear of the caption whichever way the style draws it.
    const int count = static_cast<int>(c.items.size());
    const int columns = std::max(1, c.columns);
    const int perColumn = std::max(1, (count + columns - 1) / columns);
    const int buttonWidth = (c.width - 10) / columns;
    const QRect area = box->contentsRect();
    const int rowHeight = std::max(1, area.height() / perColumn);
    const int topMargin = area.top() + (area.height() % perColumn) / 2;
    for (int i = 0; i < count; ++i) {
        auto* radio = box->findChild<QRadioButton*>(RadioItemName(c.name, i), Qt::FindDirectChildrenOnly);
        if (!radio) continue;
        radio->setGeometry((i / perColumn) * buttonWidth + 8, (i % perColumn) * rowHeight + topMargin,
                           buttonWidth, rowHeight);
    }
}

void WizardWindow::SelectRadioItem(const ControlDef& group, int index) {
    Guarded([&] {
        if (form_.ItemIndex(group.name) == index) return;
        if (runs_.Running()) {  // a click that slipped through: the group shows the model again
            Mirror(group.name, Property::ItemIndex);
            return;
        }
        form_.SetItemIndex(group.name, index);
        runs_.Press(group.name);
    });
}

bool WizardWindow::DropsDuringRun(QObject* watched, const QEvent* event) const {
    if (closing_ || !runs_.Running()) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
            break;
        default:
            return false;
    }
    // Only this window's: the dialogs a handler asks for take their input.
    const auto* widget = qobject_cast<const QWidget*>(watched);
    return widget && widget->window() == this;
}

void WizardWindow::ShowRun(bool running) {
    if (busyShown_ == running) return;
    busyShown_ = running;
    host_.SetBusy(running);
    if (busy_) busy_->setVisible(running);
}

void WizardWindow::closeEvent(QCloseEvent* event) {
    // A close during a run is honoured when the run ends (the runner closes the window then).
    if (runs_.HoldClose()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void WizardWindow::FocusFirstControl() {
    // The first tab stop of the shown page ("Server Adı" on the first), so that what the user
    // types first goes into it.
    const WindowDef& def = form_.Definition();
    for (const ControlDef& c : def.Controls()) {
        if (c.kind != ControlKind::PageControl) continue;
        const auto pages = def.PagesOf(c.name);
        const int active = form_.ActivePage(c.name);
        if (active < 0 || active >= static_cast<int>(pages.size())) continue;
        for (const ControlDef* stop : def.TabOrderOf(pages[static_cast<std::size_t>(active)]->name)) {
            QWidget* w = Control(stop->name);
            if (w && (w->focusPolicy() & Qt::TabFocus) && !w->isHidden()) {
                w->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
    }
}

bool WizardWindow::eventFilter(QObject* watched, QEvent* event) {
    if (DropsDuringRun(watched, event)) return true;
    // Arrow keys walk the items of a radio group in item order and select the one they land on,
    // wrapping at both ends, as a Windows radio group does (Qt's own walk is by position and
    // stops at the ends). Tab reaches only the selected item: the others take the focus by
    // click only (see Mirror).
    auto* radio = qobject_cast<QRadioButton*>(watched);
    if (radio && radio->window() != this) radio = nullptr;
    if (!radio || closing_ || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier) return QWidget::eventFilter(watched, event);
    int step = 0;
    if (key->key() == Qt::Key_Right || key->key() == Qt::Key_Down) step = 1;
    if (key->key() == Qt::Key_Left || key->key() == Qt::Key_Up) step = -1;
    if (step == 0) return QWidget::eventFilter(watched, event);
    // The buttons were made in item order.
    const auto items =
        radio->parentWidget()->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
    const auto count = items.size();
    const auto current = items.indexOf(radio);
    if (current < 0) return true;
    QRadioButton* target = items.at((current + step + count) % count);
    target->setFocus(Qt::TabFocusReason);
    target->click();
    return true;
}

void WizardWindow::LayoutLabel(const ControlDef& c, QLabel* label) {
    // Labels size themselves to their text, as they do in the design; a face wider than the
    // design's would otherwise cut the last letters off. They never shrink below the design.
    if (c.centred) return;
    const QFontMetrics metrics(label->font());
    label->resize(std::max(c.width, metrics.horizontalAdvance(label->text())),
                  std::max(c.height, metrics.height()));
}

void WizardWindow::BuildTabOrder() {
    // One chain through the window: each page control's tab bar, then the tab stops of every
    // page in the definition's order. Qt skips what is not visible, so Tab cycles through the
    // current page and the tab bar, as the page control does on Windows.
    const WindowDef& def = form_.Definition();
    std::vector<QWidget*> chain;
    std::vector<const ControlDef*> containers = {&def.Form()};
    for (std::size_t i = 0; i < containers.size(); ++i) {
        for (const ControlDef* c : def.TabOrderOf(containers[i]->name)) {
            QWidget* w = Control(c->name);
            if (!w) continue;
            switch (c->kind) {
                case ControlKind::PageControl:
                    chain.push_back(static_cast<QTabWidget*>(w)->tabBar());
                    for (const ControlDef* p : def.PagesOf(c->name)) containers.push_back(p);
                    break;
                case ControlKind::RadioGroup:
                    for (auto* radio : w->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly))
                        chain.push_back(radio);
                    break;
                default:
                    chain.push_back(w);
            }
        }
    }
    for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void WizardWindow::FitOuterFrame() {
    const QSize frame = frameGeometry().size() - size();
    resize((designOuter_ - frame).expandedTo(designClient_));
}

bool WizardWindow::event(QEvent* event) {
    // The window system tells the frame's size only once the window is on screen; fit the outer
    // size to the design then, once, and leave later resizing to the user.
    const bool handled = QWidget::event(event);
    if (!frameFitted_ && isVisible() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
         event->type() == QEvent::WindowActivate) &&
        frameGeometry().size() != size()) {
        frameFitted_ = true;
        FitOuterFrame();
    }
    return handled;
}

void WizardWindow::MirrorAll() {
    for (const ControlDef& c : form_.Definition().Controls()) {
        if (c.kind == ControlKind::Action) continue;
        for (Property p : {Property::Text, Property::Checked, Property::ItemIndex, Property::Visible,
                           Property::ActivePage, Property::Lines})
            Mirror(c.name, p);
    }
}

void WizardWindow::Mirror(const std::string& control, Property what) {
    if (closing_) return;
    const bool outer = !mirroring_;
    mirroring_ = true;
    struct End {
        bool& flag;
        bool outer;
        ~End() {
            if (outer) flag = false;
        }
    } end{mirroring_, outer};
    QWidget* w = Control(control);
    if (!w) return;  // an invisible action button
    const ControlDef& c = form_.Definition().Find(control);
    switch (what) {
        case Property::Text:
            MirrorText(c, w);
            break;
        case Property::Checked:
            if (c.kind == ControlKind::CheckBox) MirrorChecked(c, w);
            break;
        case Property::ItemIndex:
            if (c.kind == ControlKind::RadioGroup) MirrorItemIndex(c, w);
            break;
        case Property::Visible:
            MirrorVisible(c, w);
            break;
        case Property::ActivePage:
            if (c.kind == ControlKind::PageControl) ShowActivePage(c, w);
            break;
        case Property::Lines:
            if (c.kind == ControlKind::Memo) MirrorLines(c, w);
            break;
        case Property::Tag:
            break;  // the controller's own bookkeeping; nothing to show
    }
}

void WizardWindow::MirrorText(const ControlDef& c, QWidget* w) {
    const QString text = Q(form_.Text(c.name));
    switch (c.kind) {
        case ControlKind::Form:
            if (windowTitle() != text) setWindowTitle(text);
            return;
        case ControlKind::Label: {
            auto* label = static_cast<QLabel*>(w);
            const QString shown = Q(StripAccessKey(form_.Text(c.name)));
            if (label->text() == shown) return;
            label->setText(shown);
            LayoutLabel(c, label);
            return;
        }
        case ControlKind::Page: {
            auto* pages = static_cast<QTabWidget*>(Control(c.parent));
            const int index = pages->indexOf(w);
            if (pages->tabText(index) != text) pages->setTabText(index, text);
            return;
        }
        case ControlKind::Edit: {
            auto* edit = static_cast<QLineEdit*>(w);
            if (edit->text() != text) edit->setText(text);
            return;
        }
        case ControlKind::RadioGroup: {
            auto* box = static_cast<QGroupBox*>(w);
            if (box->title() == text) return;
            box->setTitle(text);
            LayoutRadioGroup(c, box);
            return;
        }
        case ControlKind::CheckBox:
        case ControlKind::Button: {
            auto* button = static_cast<QAbstractButton*>(w);
            if (button->text() != text) button->setText(text);
            return;
        }
        default:
            return;
    }
}

void WizardWindow::MirrorChecked(const ControlDef& c, QWidget* w) {
    auto* check = static_cast<QCheckBox*>(w);
    if (check->isChecked() != form_.Checked(c.name)) check->setChecked(form_.Checked(c.name));
}

void WizardWindow::MirrorItemIndex(const ControlDef& c, QWidget* w) {
    const int index = form_.ItemIndex(c.name);
    for (int i = 0; i < static_cast<int>(c.items.size()); ++i) {
        auto* radio = w->findChild<QRadioButton*>(RadioItemName(c.name, i));
        if (!radio) continue;
        if (radio->isChecked() != (i == index)) {
            // Unchecking the last checked item of an exclusive group needs exclusivity off.
            radio->setAutoExclusive(false);
            radio->setChecked(i == index);
            radio->setAutoExclusive(true);
        }
        // Only the selected item takes the focus from Tab, as on Windows: Tab enters the group on it.
        radio->setFocusPolicy(i == index || (index < 0 && i == 0) ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void WizardWindow::MirrorVisible(const ControlDef& c, QWidget* w) {
    const bool visible = form_.Visible(c.name);
    if (c.kind == ControlKind::Page) {
        auto* pages = static_cast<QTabWidget*>(Control(c.parent));
        const int index = pages->indexOf(w);
        if (pages->isTabVisible(index) != visible) pages->setTabVisible(index, visible);
    } else if (c.kind != ControlKind::Form && w->isHidden() == visible) {
        w->setVisible(visible);
    }
}

void WizardWindow::ShowActivePage(const ControlDef& c, QWidget* w) {
    auto* pages = static_cast<QTabWidget*>(w);
    const int index = form_.ActivePage(c.name);
    if (pages->currentIndex() != index && index >= 0 && index < pages->count()) pages->setCurrentIndex(index);
}

void WizardWindow::MirrorLines(const ControlDef& c, QWidget* w) {
    auto* memo = static_cast<QPlainTextEdit*>(w);
    const auto& lines = form_.Lines(c.name);
    const QString wanted = TextOf(lines);
    const QString shown = memo->toPlainText();
    if (shown == wanted) return;
    // A new last line is appended, which keeps the view at the newest line.
    if (!shown.isEmpty() && !lines.empty() && wanted == shown + QLatin1Char('\n') + Q(lines.back()))
        memo->appendPlainText(Q(lines.back()));
    if (memo->toPlainText() != wanted) memo->setPlainText(wanted);
    // The log follows its last line.
    memo->moveCursor(QTextCursor::End);
    memo->ensureCursorVisible();
}

}  // namespace kurdb::qt
