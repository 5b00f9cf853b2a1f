// Linked into a start-up probe, this ends the process right after the first
// paint of its first top-level window, so that the time from exec to exit is
// the time to a painted window. It hooks in when the QApplication is
// constructed, so the program's own start-up code stays exactly as shipped.
#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

#include <cstdlib>

namespace {

// Watches every object; at the first paint of a top-level window it lets the
// paint go on and queues the exit behind it, so that the window's pixels
// have been flushed to the display when the process ends.
class FirstPaintExit : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!exitQueued_ && event->type() == QEvent::Paint) {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget != nullptr && widget->isWindow()) {
        exitQueued_ = true;
        QMetaObject::invokeMethod(
            qApp, [] { std::_Exit(0); }, Qt::QueuedConnection);
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool exitQueued_ = false;
};

void InstallFirstPaintExit() { qApp->installEventFilter(new FirstPaintExit(qApp)); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallFirstPaintExit)
