// A short tour of the five libraries.
#include <iostream>

#include "ambrel/package.hpp"
#include "morvet/package.hpp"
#include "quendle/package.hpp"
#include "sarkel/package.hpp"
#include "vantrel/package.hpp"

int main() {
  std::cout << "libraries: " << vantrel::packageId() << ", " << sarkel::packageId() << ", "
            << ambrel::packageId() << ", " << quendle::packageId() << ", " << morvet::packageId()
            << "\n";
  return 0;
}
