#pragma once

// Driving modal dialogs and message boxes from a test: OnNextModal()
// waits, inside whatever modal loop is running, for the next modal widget
// of a given type to become active and hands it to an action, which
// inspects it and closes it (or opens the next one).

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace norvane::test {

// What a message box showed, for checks after it has gone.
struct ShownMessage {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* owner = nullptr;
    QMessageBox::StandardButtons buttons;
    bool shown = false;
};

// Calls action with the next active modal widget of type T, other than
// skip. When none comes within timeoutMs the test fails and the modal
// widget that is active (if any) is rejected, so that the test goes on.
// The returned watcher may be stopped early.
template <class T>
QPointer<QTimer> OnNextModal(std::function<void(T*)> action, QWidget* skip = nullptr, int timeoutMs = 10000)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QPointer<QWidget> skipped(skip);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* active = QApplication::activeModalWidget();
        T* target = qobject_cast<T*>(active);
        if (target && target != skipped.data() && target->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(target);
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            QTest::qFail("expected modal window did not appear", __FILE__, __LINE__);
            if (auto* dialog = qobject_cast<QDialog*>(active)) {
                dialog->reject();
            }
        }
    });
    timer->start();
    return timer;
}

// Records and cancels every message box that appears while it lives; for
// the steps that must ask nothing.
class MessageBoxWatch {
public:
    MessageBoxWatch()
    {
        m_Timer = new QTimer;
        m_Timer->setInterval(5);
        QObject::connect(m_Timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_Texts << box->text();
                if (QAbstractButton* cancel = box->button(QMessageBox::Cancel)) {
                    cancel->click();
                } else {
                    box->reject();
                }
            }
        });
        m_Timer->start();
    }
    ~MessageBoxWatch() { delete m_Timer; }
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    const QStringList& Texts() const { return m_Texts; }

private:
    QTimer* m_Timer;
    QStringList m_Texts;
};

// Answers the next message box with button and records what it showed.
inline void AnswerNextMessage(QMessageBox::StandardButton button, std::shared_ptr<ShownMessage> record = {},
                              std::function<void()> then = {})
{
    OnNextModal<QMessageBox>([=](QMessageBox* box) {
        if (record) {
            record->caption = box->windowTitle();
            record->text = box->text();
            record->icon = box->icon();
            record->owner = box->parentWidget();
            record->buttons = box->standardButtons();
            record->shown = true;
        }
        if (then) {
            then();
        }
        if (QAbstractButton* b = box->button(button)) {
            b->click();
        } else {
            box->reject();
        }
    });
}

} // namespace norvane::test
