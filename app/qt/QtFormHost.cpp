#include "app/qt/QtFormHost.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace kurdb::qt {
namespace {

// A message box that places itself in the middle of the screen rather than over its owner.
// The move happens in showEvent, after QMessageBox has settled its final size and before the
// native window is mapped, so the box never appears anywhere else first.
class ScreenCentredBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        if (!screen) return;
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
};

// The dialogs want the ordinary arrow while a handler has the wait cursor up.
class ArrowWhileOpen {
public:
    ArrowWhileOpen() : active_(QApplication::overrideCursor() != nullptr) {
        if (active_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~ArrowWhileOpen() {
        if (active_) QApplication::restoreOverrideCursor();
    }
    ArrowWhileOpen(const ArrowWhileOpen&) = delete;
    ArrowWhileOpen& operator=(const ArrowWhileOpen&) = delete;

private:
    bool active_;
};

}  // namespace

bool QtFormHost::Confirm(const std::string& question) {
    ArrowWhileOpen arrow;
    ScreenCentredBox box(QMessageBox::Question, QStringLiteral("Onay"), QString::fromStdString(question),
                         QMessageBox::NoButton, window_.data());
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* yes = box.addButton(QStringLiteral("&Evet"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Hayır"), QMessageBox::NoRole);
    yes->setObjectName(QStringLiteral("Evet"));
    no->setObjectName(QStringLiteral("Hayir"));
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void QtFormHost::ShowError(const std::string& text, const std::string& caption) {
    ArrowWhileOpen arrow;
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, window_.data());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void QtFormHost::SetBusy(bool busy) {
    if (busy) {
        ++busyDepth_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0) {
        --busyDepth_;
        QApplication::restoreOverrideCursor();
    }
}

void QtFormHost::CloseWindow() {
    if (window_) window_->close();
}

}  // namespace kurdb::qt
