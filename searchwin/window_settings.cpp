// Restoring and saving the main window's settings.
#include "main_window.h"

void TForm1::FormShow() {}
void TForm1::FormCloseQuery() {}
