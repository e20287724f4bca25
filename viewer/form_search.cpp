#include "form_search.h"

TFormSearch::TFormSearch(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormSearch"));
}
