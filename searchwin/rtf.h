// Rich text files: the pane's documents written and read as RTF. Standard library only.
#pragma once
