// Opens the database named on the command line, says "open" (or "error N"), and keeps it
// open until its standard input ends or brings a line.

#include "engine/Connection.h"
#include "util/MallowError.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    mallow::engine::Connection connection;
    try {
        connection.OpenFile(argv[1]);
    } catch (const mallow::MallowError& error) {
        std::printf("error %ld\n", error.Number());
        std::fflush(stdout);
        return 1;
    }
    std::printf("open\n");
    std::fflush(stdout);
    char c = 0;
    while (read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
    }
    connection.Close();
    return 0;
}
