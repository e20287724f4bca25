// Bracket removal over Shift-JIS text, shared by the result pane and the viewer's excerpt.
// Standard library only.
#pragma once
