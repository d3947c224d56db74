#pragma once

// Tells the user a copy failed: "Błąd podczas kopiowania pliku" in a modal
// window captioned with the program's name; returns when it is closed.
void ReportCopyError();
