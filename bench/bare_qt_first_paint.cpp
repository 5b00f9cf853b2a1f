// The start-up floor: a bare Qt 6 window with the main window's controls at
// the same places and sizes and with the same texts, so that both load the
// same fonts, and nothing else; it ends at its first paint.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QString::fromUtf8("快递查询[青松堂专版]-www.parceltrace.example"));
  window.setFixedSize(520, 264);
  QLineEdit edit(QString::fromUtf8("在这里输入单号~"), &window);
  edit.setGeometry(0, 0, 512, 48);
  QPushButton query(QString::fromUtf8("查询"), &window);
  query.setGeometry(0, 48, 264, 48);
  QPushButton reset(QString::fromUtf8("重置"), &window);
  reset.setGeometry(264, 48, 256, 48);
  QListWidget list(&window);
  list.setGeometry(0, 96, 520, 144);
  QLabel label(&window);
  label.setGeometry(360, 240, 144, 24);
  window.show();
  return app.exec();
}
