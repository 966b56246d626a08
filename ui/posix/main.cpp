#include "app/entry.h"
#include "platform/text.h"

// The arguments come in UTF-8; inside they are cp1252 like on Windows.
int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(internal_text(argv[i]));
    return app_main(args);
}
