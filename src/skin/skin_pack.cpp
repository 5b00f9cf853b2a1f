// Build tool: packs a skin's readable source into its skin file, and refuses
// a source that the skin library would reject.
//   skin_pack <source.txt> <output.she>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "skin/skin_format.h"

namespace {

constexpr int kExpectedArguments = 3;

}  // namespace

int main(int argc, char** argv) {
  if (argc != kExpectedArguments) {
    std::cerr << "usage: skin_pack <source.txt> <output.she>\n";
    return 2;
  }
  std::ifstream source(argv[1], std::ios::binary);
  if (!source) {
    std::cerr << "skin_pack: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::string body{std::istreambuf_iterator<char>(source), std::istreambuf_iterator<char>()};
  std::string file = PackSkinFile(body);
  if (!ParseSkinFile(file)) {
    std::cerr << "skin_pack: " << argv[1] << " is not a valid skin\n";
    return 1;
  }
  std::ofstream output(argv[2], std::ios::binary | std::ios::trunc);
  output << file;
  if (!output.flush()) {
    std::cerr << "skin_pack: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
