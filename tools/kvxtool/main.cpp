#include "tools/kvxtool/commandtable.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    return RunKvxtool(std::vector<std::string>(argv + 1, argv + argc));
}
