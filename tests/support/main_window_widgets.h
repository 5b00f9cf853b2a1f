// The main window's controls as the toolkit's widgets, found by their names
// as a test finds them.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

struct MainWindowWidgets {
  QWidget* top = nullptr;
  QLineEdit* input = nullptr;
  QPushButton* query = nullptr;
  QPushButton* reset = nullptr;
  QListWidget* list = nullptr;
  QLabel* company = nullptr;
  QLabel* status = nullptr;

  bool complete() const { return top && input && query && reset && list && company && status; }
};

// The top-level window that holds 编辑框1, and its controls; members the
// window lacks stay null.
inline MainWindowWidgets FindMainWindowWidgets() {
  MainWindowWidgets found;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* edit = widget->findChild<QLineEdit*>(QString::fromUtf8("编辑框1"))) {
      found.top = widget;
      found.input = edit;
    }
  }
  if (!found.top) return found;
  found.query = found.top->findChild<QPushButton*>(QString::fromUtf8("按钮1"));
  found.reset = found.top->findChild<QPushButton*>(QString::fromUtf8("按钮2"));
  found.list = found.top->findChild<QListWidget*>(QString::fromUtf8("列表框1"));
  found.company = found.top->findChild<QLabel*>(QString::fromUtf8("标签1"));
  found.status = found.top->findChild<QLabel*>(QString::fromUtf8("状态"));
  return found;
}
