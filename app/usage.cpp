#include "app/usage.h"

#include "platform/console.h"

void WriteUsage(std::FILE* out) {
  std::fputs("*** Program do kopiowania plikow dla aplikacji Remanex ***\n", out);
  std::fputs("\nOpcje wywolania: \n", out);
  std::fputs(
      "   -d [nazwa_pliku]\tkopiowanie pliku wyeksportowanego przez \n"
      "\t\t\tRemanex do pliku [nazwa_pliku]\n\n",
      out);
  std::fputs(
      "   -u [nazwa_pliku]\tkopiowanie pliku [nazwa_pliku]\n"
      "\t\t\tdla programu Remanex\n\n",
      out);
}

void ShowUsage() {
  WriteUsage(stdout);
  // The whole text must be on the screen before the wait begins.
  std::fflush(stdout);
  platform::WaitForKey();
}
