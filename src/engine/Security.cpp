#include "Security.h"

#include "JetError.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <sys/random.h>
#include <sys/stat.h>
#include <utility>

namespace mallow::engine::security {

namespace {

constexpr int Iterations = 10000;
constexpr std::size_t SaltBytes = 16;
constexpr std::size_t KeyBytes = 32;

constexpr std::array<std::uint32_t, 64> RoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

std::uint32_t Rotate(std::uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

void Compress(std::array<std::uint32_t, 8>& state, const unsigned char* block)
{
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
               std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    auto [a, b, c, d, e, f, g, h] = state;
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) +
                                 ((e & f) ^ (~e & g)) + RoundConstants[i] + w[i];
        const std::uint32_t t2 =
            (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    const std::uint32_t next[8] = {a, b, c, d, e, f, g, h};
    for (int i = 0; i < 8; ++i)
        state[i] += next[i];
}

std::string HmacSha256(const std::string& key, const std::string& message)
{
    std::string block = key.size() > 64 ? Sha256(key) : key;
    block.resize(64, '\0');
    std::string inner(64, '\0');
    std::string outer(64, '\0');
    for (std::size_t i = 0; i < 64; ++i) {
        inner[i] = static_cast<char>(block[i] ^ 0x36);
        outer[i] = static_cast<char>(block[i] ^ 0x5c);
    }
    return Sha256(outer + Sha256(inner + message));
}

std::optional<std::string> FromHex(const std::string& text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    const auto digit = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (;;) {
        const auto next = text.find(separator, at);
        parts.push_back(text.substr(at, next == std::string::npos ? next : next - at));
        if (next == std::string::npos)
            return parts;
        at = next + 1;
    }
}

// Compares without stopping at the first difference, so the time taken tells nothing.
bool SameBytes(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

class ReadOnlyDatabase
{
public:
    explicit ReadOnlyDatabase(const std::string& path)
    {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(db);
            db = nullptr;
        }
    }
    ~ReadOnlyDatabase() { sqlite3_close_v2(db); }
    ReadOnlyDatabase(const ReadOnlyDatabase&) = delete;
    ReadOnlyDatabase& operator=(const ReadOnlyDatabase&) = delete;
    sqlite3* Get() const { return db; }

private:
    sqlite3* db = nullptr;
};

class Query
{
public:
    Query(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            stmt = nullptr;
        }
    }
    ~Query() { sqlite3_finalize(stmt); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    bool Prepared() const { return stmt != nullptr; }
    /// The next row; false when done or failed (Failed tells which).
    bool Next()
    {
        rc = sqlite3_step(stmt);
        return rc == SQLITE_ROW;
    }
    bool Failed() const { return rc != SQLITE_DONE && rc != SQLITE_ROW; }
    std::string Text(int column) const
    {
        const auto* text = sqlite3_column_text(stmt, column);
        return text ? reinterpret_cast<const char*>(text) : "";
    }

private:
    sqlite3_stmt* stmt = nullptr;
    int rc = SQLITE_OK;
};

bool HasTable(sqlite3* db, const char* name)
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?",
                           -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_bind_text(stmt, 1, name, -1, SQLITE_STATIC);
    const bool found = sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_finalize(stmt);
    return found;
}

} // namespace

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const char c : bytes) {
        text += digits[static_cast<unsigned char>(c) >> 4];
        text += digits[static_cast<unsigned char>(c) & 15];
    }
    return text;
}

std::string Sha256(const std::string& data)
{
    std::array<std::uint32_t, 8> state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    std::size_t whole = data.size() / 64 * 64;
    for (std::size_t at = 0; at < whole; at += 64)
        Compress(state, bytes + at);
    // The tail, a one bit, zeros and the length in bits fill one or two last blocks.
    unsigned char tail[128] = {};
    const std::size_t rest = data.size() - whole;
    std::memcpy(tail, bytes + whole, rest);
    tail[rest] = 0x80;
    const std::size_t blocks = rest < 56 ? 1 : 2;
    const std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
    for (int i = 0; i < 8; ++i)
        tail[blocks * 64 - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    for (std::size_t i = 0; i < blocks; ++i)
        Compress(state, tail + 64 * i);
    std::string digest;
    for (const std::uint32_t word : state) {
        for (int shift = 24; shift >= 0; shift -= 8)
            digest += static_cast<char>((word >> shift) & 0xff);
    }
    return digest;
}

std::string Pbkdf2Sha256(const std::string& password, const std::string& salt, int iterations,
                         std::size_t length)
{
    std::string key;
    for (std::uint32_t block = 1; key.size() < length; ++block) {
        std::string index;
        for (int shift = 24; shift >= 0; shift -= 8)
            index += static_cast<char>((block >> shift) & 0xff);
        std::string u = HmacSha256(password, salt + index);
        std::string t = u;
        for (int i = 1; i < iterations; ++i) {
            u = HmacSha256(password, u);
            for (std::size_t j = 0; j < t.size(); ++j)
                t[j] = static_cast<char>(t[j] ^ u[j]);
        }
        key += t;
    }
    key.resize(length);
    return key;
}

std::string HashPassword(const std::string& password)
{
    std::string salt(SaltBytes, '\0');
    std::size_t got = 0;
    while (got < salt.size()) {
        const ssize_t n = getrandom(salt.data() + got, salt.size() - got, 0);
        if (n <= 0)
            RaiseJet(jet::Reserved);
        got += static_cast<std::size_t>(n);
    }
    return "pbkdf2-sha256$" + std::to_string(Iterations) + "$" + Hex(salt) + "$" +
           Hex(Pbkdf2Sha256(password, salt, Iterations, KeyBytes));
}

bool PasswordMatches(const std::string& stored, const std::string& password)
{
    const std::vector<std::string> parts = Split(stored, '$');
    if (parts.size() != 4 || parts[0] != "pbkdf2-sha256" || parts[1].empty() ||
        parts[1].size() > 7 || parts[1].find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int iterations = std::stoi(parts[1]);
    const auto salt = FromHex(parts[2]);
    const auto key = FromHex(parts[3]);
    if (iterations < 1 || !salt || !key || key->empty())
        return false;
    return SameBytes(Pbkdf2Sha256(password, *salt, iterations, key->size()), *key);
}

std::string FoldName(const std::string& name)
{
    std::string folded = name;
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

DatabaseSecurity ReadDatabaseSecurity(sqlite3* db, const std::string& display)
{
    DatabaseSecurity security;
    if (!HasTable(db, SecurityTable))
        return security;
    Query rows(db, "SELECT Kind, Name, Value FROM MSysMallowSecurity");
    if (!rows.Prepared())
        RaiseJet(jet::CannotOpenDatabase, display);
    while (rows.Next()) {
        const std::string kind = rows.Text(0);
        if (kind == "password")
            security.passwordHash = rows.Text(2);
        else if (kind == "workgroup")
            security.workgroupId = rows.Text(1);
        else if (kind == "account")
            security.accounts.push_back(rows.Text(1));
    }
    if (rows.Failed())
        RaiseJet(jet::CannotOpenDatabase, display);
    return security;
}

Workgroup ReadWorkgroup(const std::string& path)
{
    struct stat st = {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        RaiseJet(jet::WorkgroupMissing);
    ReadOnlyDatabase file(path);
    if (!file.Get() || !HasTable(file.Get(), "MSysMallowWorkgroup") ||
        !HasTable(file.Get(), "MSysMallowAccounts"))
        RaiseJet(jet::WorkgroupMissing);
    Workgroup workgroup;
    {
        Query id(file.Get(), "SELECT Id FROM MSysMallowWorkgroup");
        if (!id.Prepared() || !id.Next() || id.Text(0).empty())
            RaiseJet(jet::WorkgroupMissing);
        workgroup.id = id.Text(0);
    }
    Query accounts(file.Get(), "SELECT Name, Password FROM MSysMallowAccounts");
    if (!accounts.Prepared())
        RaiseJet(jet::WorkgroupMissing);
    while (accounts.Next())
        workgroup.accounts[FoldName(accounts.Text(0))] = accounts.Text(1);
    if (accounts.Failed())
        RaiseJet(jet::WorkgroupMissing);
    return workgroup;
}

std::string LogOn(const std::string& workgroupFile, const std::string& user,
                  const std::string& password)
{
    if (workgroupFile.empty())
        return {};
    const Workgroup workgroup = ReadWorkgroup(workgroupFile);
    const auto account = workgroup.accounts.find(FoldName(user));
    if (account == workgroup.accounts.end() || !PasswordMatches(account->second, password))
        RaiseJet(jet::AccountInvalid);
    return workgroup.id;
}

void CheckDatabaseAccess(const DatabaseSecurity& security, const std::string& workgroupId,
                         const std::string& user, const std::string& databasePassword)
{
    if (!security.workgroupId.empty()) {
        if (workgroupId != security.workgroupId)
            RaiseJet(jet::AccountInvalid);
        if (!security.accounts.empty()) {
            bool allowed = false;
            for (const std::string& account : security.accounts)
                allowed = allowed || FoldName(account) == FoldName(user);
            if (!allowed)
                RaiseJet(jet::AccountInvalid);
        }
    }
    if (security.passwordHash && !PasswordMatches(*security.passwordHash, databasePassword))
        RaiseJet(jet::PasswordInvalid);
}

std::string PasswordOfLocale(const std::string& locale)
{
    const std::string folded = FoldName(locale);
    for (std::size_t at = folded.find("pwd="); at != std::string::npos;
         at = folded.find("pwd=", at + 1)) {
        std::size_t before = at;
        while (before > 0 && folded[before - 1] == ' ')
            --before;
        if (before == 0 || folded[before - 1] == ';')
            return locale.substr(at + 4);
    }
    return {};
}

} // namespace mallow::engine::security
