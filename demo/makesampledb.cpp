// Builds the demo's sample database: runs one SQL script on a new SQLite file.
//   makesampledb <script.sql> <database file>
// The file is written under a temporary name and renamed at the end, so an interrupted build
// never leaves a half-filled database behind.

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

struct SqliteCloser
{
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};

int fail(const std::string &message)
{
    std::fprintf(stderr, "makesampledb: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        return fail("usage: makesampledb <script.sql> <database file>");
    }
    const std::string scriptPath = argv[1];
    const std::string target = argv[2];
    const std::string temporary = target + ".tmp";

    std::ifstream in(scriptPath, std::ios::binary);
    if (!in) {
        return fail("cannot read " + scriptPath);
    }
    std::ostringstream script;
    script << in.rdbuf();

    std::remove(temporary.c_str());
    sqlite3 *raw = nullptr;
    const int opened = sqlite3_open_v2(temporary.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<sqlite3, SqliteCloser> db(raw);
    if (opened != SQLITE_OK) {
        return fail("cannot create " + temporary + ": " + (raw ? sqlite3_errmsg(raw) : "out of memory"));
    }
    char *error = nullptr;
    if (sqlite3_exec(db.get(), script.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        db.reset();
        std::remove(temporary.c_str());
        return fail(scriptPath + ": " + message);
    }
    db.reset();
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return fail("cannot rename " + temporary + " to " + target);
    }
    return 0;
}
