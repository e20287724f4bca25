// Keyword operators and the web search.
#include "main_window.h"

void TForm1::or1Click() {}
void TForm1::not1Click() {}
void TForm1::notgoogle1Click() {}
void TForm1::BitBtn11Click() {}
