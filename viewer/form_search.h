// TFormSearch, the editor's search dialog. Created at start and shown by the viewer.
#pragma once

#include <QDialog>

class TFormSearch : public QDialog {
    Q_OBJECT
  public:
    explicit TFormSearch(QWidget* parent = nullptr);
};
