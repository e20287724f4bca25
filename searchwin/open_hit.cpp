// Opening a hit in the viewer; the check buttons.
#include "main_window.h"

void TForm1::BitBtn9Click() {}
void TForm1::AppActivate() {}
void TForm1::BitBtn7Click() {}
void TForm1::BitBtn6Click() {}
void TForm1::BitBtn10Click() {}
