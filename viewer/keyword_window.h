// TForm2, the keyword colour list. Created at start and shown modally from the main window.
#pragma once

#include <QDialog>

class TForm2 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);
};
