#include <string>
#include <vector>

#include "app/tarn_update.h"

int main(int argc, char** argv) {
  return tu::runTarnUpdate(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
