#include "Recordset.h"

#include "Connection.h"
#include "Criteria.h"
#include "JetError.h"
#include "RowStore.h"
#include "Session.h"
#include "Text.h"

#include <algorithm>
#include <optional>

namespace mallow::engine {

namespace {

// A row set, its clones and theirs are one client of the database, across Requery too: a row
// one of them wrote is known to all of them as written, never taken for another client's change.
struct Client
{
    /// Orders the assignments and writes of the whole client.
    std::uint64_t clock = 0;
    std::vector<std::weak_ptr<RowStore>> stores;

    void Join(const std::shared_ptr<RowStore>& store)
    {
        std::erase_if(stores, [](const auto& s) { return s.expired(); });
        stores.push_back(store);
    }

    // Tells the client's other row stores what one of them wrote to a row.
    void Share(const RowStore& from, sqlite3_int64 oldRowid, sqlite3_int64 rowid, std::size_t row,
               const std::vector<std::size_t>& columns, std::uint64_t when)
    {
        for (const auto& weak : stores) {
            const auto store = weak.lock();
            if (!store || store.get() == &from || !store->table || !from.table ||
                store->table->name != from.table->name || store->Width() != from.Width())
                continue;
            for (std::size_t j = 0; j < store->Rows(); ++j) {
                if (store->rowids[j] != oldRowid || store->deleted[j])
                    continue;
                store->rowids[j] = rowid;
                store->Set(j, from.Row(row));
                for (const std::size_t column : columns)
                    store->MarkWritten(j, column, when);
            }
        }
    }
};

} // namespace

struct Recordset::Impl
{
    enum class Mode { None, Edit, Add };

    std::shared_ptr<Session> session;
    std::shared_ptr<RowStore> store;
    std::shared_ptr<Client> client;
    std::string source;
    int options = adCmdText;
    std::vector<Value> parameters;
    bool readOnly = false;

    std::ptrdiff_t position = -1;
    bool bof = true;
    bool eof = true;

    Mode mode = Mode::None;
    std::vector<Value> buffer;
    /// For each column of the pending row, when it was assigned (0: not assigned).
    std::vector<std::uint64_t> changed;

    bool Open() const { return store && session && session->db; }

    void CheckOpen() const
    {
        if (!Open())
            RaiseJet(jet::ObjectClosed);
    }

    void CheckWritable() const
    {
        if (readOnly)
            RaiseJet(jet::ReadOnly);
    }

    bool OnLiveRow() const
    {
        return !bof && !eof && position >= 0 &&
               static_cast<std::size_t>(position) < store->Rows() &&
               !store->deleted[static_cast<std::size_t>(position)];
    }

    Value Read(std::size_t column) const
    {
        if (mode != Mode::None)
            return buffer[column];
        if (!OnLiveRow())
            RaiseJet(jet::NoCurrentRecord);
        return store->Get(static_cast<std::size_t>(position), column);
    }

    std::size_t IndexOf(std::string_view name) const
    {
        const auto& columns = store->columns;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name == name)
                return i;
        }
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name.size() == name.size() && text::EqualNoCase(columns[i].name, name))
                return i;
        }
        RaiseJet(jet::ItemNotFound);
    }

    void PlaceOnFirst()
    {
        position = -1;
        bof = eof = store->live == 0;
        if (store->live == 0)
            return;
        for (std::size_t i = 0; i < store->Rows(); ++i) {
            if (!store->deleted[i]) {
                position = static_cast<std::ptrdiff_t>(i);
                return;
            }
        }
    }

    void Clear()
    {
        mode = Mode::None;
        buffer.clear();
        changed.clear();
    }

    const TableColumn& TableColumnOf(std::size_t column) const
    {
        return store->table->columns[static_cast<std::size_t>(store->columns[column].tableColumn)];
    }

    bool IsAutoNumber(std::size_t column) const
    {
        return store->table && store->table->autoIncrement &&
               store->columns[column].tableColumn == store->table->rowidColumn;
    }

    // The current values of a row as the database holds them, typed as this row set reads them.
    std::optional<std::vector<Value>> ReadBack(sqlite3_int64 rowid)
    {
        std::string sql = "SELECT ";
        for (std::size_t i = 0; i < store->Width(); ++i)
            sql += (i ? ", " : "") + std::string("\"") + TableColumnOf(i).name + '"';
        sql += " FROM \"" + store->table->name + "\" WHERE rowid = ?";
        Statement statement = PrepareInternal(*session, sql);
        sqlite3_bind_int64(statement.Get(), 1, rowid);
        if (!StepRow(*session, statement))
            return std::nullopt;
        std::vector<Value> values;
        for (std::size_t i = 0; i < store->Width(); ++i)
            values.push_back(
                ReadColumn(statement.Get(), static_cast<int>(i), store->columns[i].type.kind));
        return values;
    }

    std::vector<Value> NewRowValues()
    {
        if (!store->defaults) {
            std::vector<Value> defaults;
            for (std::size_t i = 0; i < store->Width(); ++i) {
                const TableColumn& column = TableColumnOf(i);
                if (column.defaultExpression.empty()) {
                    defaults.emplace_back();
                    continue;
                }
                // The expression comes from the table's own schema.
                Statement statement =
                    PrepareInternal(*session, "SELECT " + column.defaultExpression);
                defaults.push_back(StepRow(*session, statement)
                                       ? ReadColumn(statement.Get(), 0, column.type.kind)
                                       : Value());
            }
            store->defaults = std::move(defaults);
        }
        return *store->defaults;
    }

    // Takes the table's next auto-number for a new row at once, so that it can be read before
    // the row is written and no other client can be given it; a cancelled row leaves a gap.
    sqlite3_int64 ReserveAutoNumber()
    {
        Session& s = *session;
        const bool ownTransaction = sqlite3_get_autocommit(s.db) != 0;
        if (ownTransaction)
            ExecInternal(s, "BEGIN IMMEDIATE");
        try {
            const Value name(store->table->name);
            sqlite3_int64 next = 0;
            {
                Statement seq =
                    PrepareInternal(s, "SELECT seq FROM sqlite_sequence WHERE name = ?");
                BindValue(seq.Get(), 1, name);
                if (StepRow(s, seq))
                    next = sqlite3_column_int64(seq.Get(), 0);
                Statement max =
                    PrepareInternal(s, "SELECT max(rowid) FROM \"" + store->table->name + "\"");
                if (StepRow(s, max))
                    next = std::max(next, sqlite3_column_int64(max.Get(), 0));
                ++next;
            }
            Statement update =
                PrepareInternal(s, "UPDATE sqlite_sequence SET seq = ? WHERE name = ?");
            sqlite3_bind_int64(update.Get(), 1, next);
            BindValue(update.Get(), 2, name);
            while (StepRow(s, update)) {
            }
            if (sqlite3_changes(s.db) == 0) {
                Statement insert =
                    PrepareInternal(s, "INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)");
                BindValue(insert.Get(), 1, name);
                sqlite3_bind_int64(insert.Get(), 2, next);
                while (StepRow(s, insert)) {
                }
            }
            if (ownTransaction)
                ExecInternal(s, "COMMIT");
            return next;
        } catch (...) {
            if (ownTransaction)
                sqlite3_exec(s.db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    void WriteEdit()
    {
        const std::size_t row = static_cast<std::size_t>(position);
        const sqlite3_int64 rowid = store->rowids[row];
        std::string sets;
        std::string checks;
        std::vector<std::size_t> written;
        std::vector<Value> expected;
        for (std::size_t i = 0; i < store->Width(); ++i) {
            // An assignment older than a save of the same column through this client is stale:
            // that save is the later word, so the assignment is dropped, not replayed.
            if (!changed[i] || store->WrittenAt(row, i) > changed[i])
                continue;
            const std::string name = "\"" + TableColumnOf(i).name + "\"";
            sets += (sets.empty() ? "" : ", ") + name + " = ?";
            // Optimistic locking: the row must still hold what this client last read or wrote
            // there. Any nonzero number in a Boolean column reads as True.
            expected.push_back(store->Get(row, i));
            const bool boolean = store->columns[i].type.kind == ColumnKind::Boolean &&
                                 expected.back().GetType() == Value::Type::Boolean;
            checks += " AND " + (boolean ? "(" + name + " <> 0)" : name) + " IS ?";
            written.push_back(i);
        }
        if (sets.empty()) {
            Clear();
            return;
        }
        Statement statement =
            PrepareInternal(*session, "UPDATE \"" + store->table->name + "\" SET " + sets +
                                          " WHERE rowid = ?" + checks);
        int index = 1;
        for (const std::size_t i : written)
            BindValue(statement.Get(), index++, buffer[i]);
        sqlite3_bind_int64(statement.Get(), index++, rowid);
        for (const Value& v : expected)
            BindValue(statement.Get(), index++, v);
        session->functionError.reset();
        while (StepRow(*session, statement)) {
        }
        if (sqlite3_changes(session->db) == 0) {
            if (!ReadBack(rowid)) {
                store->deleted[row] = 1;
                --store->live;
                Clear();
                RaiseJet(jet::RecordDeleted);
            }
            RaiseJet(jet::UpdateConflict);
        }
        sqlite3_int64 newRowid = rowid;
        for (const std::size_t i : written) {
            if (store->columns[i].tableColumn == store->table->rowidColumn && !buffer[i].IsNull())
                newRowid = buffer[i].ToLong();
        }
        store->rowids[row] = newRowid;
        const auto stored = ReadBack(newRowid);
        store->Set(row, stored ? *stored : buffer);
        const std::uint64_t now = ++client->clock;
        for (const std::size_t i : written)
            store->MarkWritten(row, i, now);
        client->Share(*store, rowid, newRowid, row, written, now);
        Clear();
    }

    void WriteNew()
    {
        std::string names;
        std::string marks;
        std::vector<Value> values;
        std::optional<sqlite3_int64> explicitRowid;
        for (std::size_t i = 0; i < store->Width(); ++i) {
            const bool number = IsAutoNumber(i) && !buffer[i].IsNull();
            if (!changed[i] && !number)
                continue;
            names += (names.empty() ? "\"" : ", \"") + TableColumnOf(i).name + "\"";
            marks += marks.empty() ? "?" : ", ?";
            values.push_back(buffer[i]);
            if (store->columns[i].tableColumn == store->table->rowidColumn && !buffer[i].IsNull())
                explicitRowid = buffer[i].ToLong();
        }
        const std::string sql =
            "INSERT INTO \"" + store->table->name + "\"" +
            (names.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")");
        Statement statement = PrepareInternal(*session, sql);
        for (std::size_t i = 0; i < values.size(); ++i)
            BindValue(statement.Get(), static_cast<int>(i + 1), values[i]);
        session->functionError.reset();
        while (StepRow(*session, statement)) {
        }
        const sqlite3_int64 rowid =
            explicitRowid ? *explicitRowid : sqlite3_last_insert_rowid(session->db);
        const auto stored = ReadBack(rowid);
        store->Append(rowid, stored ? *stored : buffer);
        position = static_cast<std::ptrdiff_t>(store->Rows() - 1);
        bof = eof = false;
        Clear();
    }

    void Flush()
    {
        if (mode == Mode::Edit)
            WriteEdit();
        else if (mode == Mode::Add)
            WriteNew();
    }
};

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

void Recordset::Open(const std::string& source, Connection& connection, int options,
                     const std::vector<Value>& parameters)
{
    if (impl && impl->Open())
        RaiseJet(jet::ObjectOpen);
    auto session = connection.SharedSession();
    if (!session || !session->db)
        RaiseJet(jet::ConnectionUnusable);
    auto fresh = std::make_unique<Impl>();
    fresh->store = LoadRows(*session, source, options, parameters);
    fresh->client = std::make_shared<Client>();
    fresh->client->Join(fresh->store);
    fresh->session = std::move(session);
    fresh->source = source;
    fresh->options = options;
    fresh->parameters = parameters;
    fresh->readOnly = !fresh->store->table || lockType == LockType::ReadOnly;
    fresh->PlaceOnFirst();
    impl = std::move(fresh);
}

void Recordset::Close()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    // A pending edit is written, as moving away from it would.
    impl->Flush();
    impl.reset();
}

bool Recordset::IsOpen() const
{
    return impl && impl->Open();
}

void Recordset::MoveFirst()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->Flush();
    if (impl->store->live == 0)
        RaiseJet(jet::NoCurrentRecord);
    impl->PlaceOnFirst();
}

void Recordset::MoveLast()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->Flush();
    const RowStore& store = *impl->store;
    if (store.live == 0)
        RaiseJet(jet::NoCurrentRecord);
    for (std::size_t i = store.Rows(); i-- > 0;) {
        if (!store.deleted[i]) {
            impl->position = static_cast<std::ptrdiff_t>(i);
            impl->bof = impl->eof = false;
            return;
        }
    }
}

void Recordset::MoveNext()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    if (impl->eof)
        RaiseJet(jet::NoCurrentRecord);
    impl->Flush();
    const RowStore& store = *impl->store;
    std::size_t i = impl->bof ? 0 : static_cast<std::size_t>(impl->position + 1);
    while (i < store.Rows() && store.deleted[i])
        ++i;
    impl->position = static_cast<std::ptrdiff_t>(i);
    impl->bof = store.live == 0;
    impl->eof = i >= store.Rows();
}

void Recordset::MovePrevious()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    if (impl->bof)
        RaiseJet(jet::NoCurrentRecord);
    impl->Flush();
    const RowStore& store = *impl->store;
    std::ptrdiff_t i =
        impl->eof ? static_cast<std::ptrdiff_t>(store.Rows()) - 1 : impl->position - 1;
    while (i >= 0 && store.deleted[static_cast<std::size_t>(i)])
        --i;
    impl->position = i;
    impl->bof = i < 0;
    impl->eof = store.live == 0;
}

bool Recordset::Eof() const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    return impl->eof;
}

bool Recordset::Bof() const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    return impl->bof;
}

long Recordset::RecordCount() const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    return impl->store->live;
}

Value Recordset::Field(std::string_view name) const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    return impl->Read(impl->IndexOf(name));
}

Value Recordset::FieldAt(int index) const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    if (index < 0 || static_cast<std::size_t>(index) >= impl->store->Width())
        RaiseJet(jet::ItemNotFound);
    return impl->Read(static_cast<std::size_t>(index));
}

int Recordset::FieldCount() const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    return static_cast<int>(impl->store->Width());
}

void Recordset::SetField(std::string_view name, const Value& value)
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    const std::size_t column = impl->IndexOf(name);
    impl->CheckWritable();
    if (impl->store->columns[column].tableColumn < 0 || impl->IsAutoNumber(column))
        RaiseJet(jet::FieldNotUpdatable);
    Value converted = ConvertForColumn(value, impl->TableColumnOf(column).type);
    if (impl->mode == Impl::Mode::None) {
        if (!impl->OnLiveRow())
            RaiseJet(jet::NoCurrentRecord);
        impl->buffer = impl->store->Row(static_cast<std::size_t>(impl->position));
        impl->changed.assign(impl->store->Width(), 0);
        impl->mode = Impl::Mode::Edit;
    }
    impl->buffer[column] = std::move(converted);
    impl->changed[column] = ++impl->client->clock;
}

std::vector<std::string> Recordset::FieldNames() const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    std::vector<std::string> names;
    for (const auto& column : impl->store->columns)
        names.push_back(column.name);
    return names;
}

void Recordset::AddNew()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->CheckWritable();
    impl->Flush();
    const std::vector<Value> defaults = impl->NewRowValues();
    std::vector<Value> values;
    values.reserve(defaults.size());
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        if (impl->IsAutoNumber(i))
            values.emplace_back(static_cast<long long>(impl->ReserveAutoNumber()));
        else
            values.push_back(defaults[i]);
    }
    impl->buffer = std::move(values);
    impl->changed.assign(impl->store->Width(), 0);
    impl->mode = Impl::Mode::Add;
}

void Recordset::Update()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->Flush();
}

void Recordset::CancelUpdate()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->Clear();
}

bool Recordset::EditPending() const
{
    return IsOpen() && impl->mode != Impl::Mode::None;
}

void Recordset::Delete()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->CheckWritable();
    if (impl->mode == Impl::Mode::Add) {
        // The new row was never written: deleting it just drops it.
        impl->Clear();
        return;
    }
    impl->Clear();
    if (!impl->OnLiveRow())
        RaiseJet(jet::NoCurrentRecord);
    RowStore& store = *impl->store;
    const std::size_t row = static_cast<std::size_t>(impl->position);
    Statement statement = PrepareInternal(*impl->session, "DELETE FROM \"" + store.table->name +
                                                              "\" WHERE rowid = ?");
    sqlite3_bind_int64(statement.Get(), 1, store.rowids[row]);
    while (StepRow(*impl->session, statement)) {
    }
    store.deleted[row] = 1;
    --store.live;
}

void Recordset::Requery()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->Flush();
    // Clones keep the rows they share; this row set reads afresh.
    impl->store = LoadRows(*impl->session, impl->source, impl->options, impl->parameters);
    impl->client->Join(impl->store);
    impl->readOnly = !impl->store->table || lockType == LockType::ReadOnly;
    impl->PlaceOnFirst();
}

Recordset Recordset::Clone(LockType lock) const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    Recordset clone;
    clone.cursorType = cursorType;
    clone.lockType = lock == LockType::Unspecified ? lockType : lock;
    clone.impl = std::make_unique<Impl>();
    clone.impl->session = impl->session;
    clone.impl->store = impl->store;
    clone.impl->client = impl->client;
    clone.impl->source = impl->source;
    clone.impl->options = impl->options;
    clone.impl->parameters = impl->parameters;
    clone.impl->readOnly = !impl->store->table || clone.lockType == LockType::ReadOnly;
    clone.impl->PlaceOnFirst();
    return clone;
}

void Recordset::Find(const std::string& criteria)
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    const Criteria parsed = ParseCriteria(criteria);
    const std::size_t column = impl->IndexOf(parsed.field);
    impl->Flush();
    const RowStore& store = *impl->store;
    if (impl->eof)
        return;
    for (std::size_t i = impl->bof ? 0 : static_cast<std::size_t>(impl->position); i < store.Rows();
         ++i) {
        if (!store.deleted[i] && Meets(store.Get(i, column), parsed)) {
            impl->position = static_cast<std::ptrdiff_t>(i);
            impl->bof = impl->eof = false;
            return;
        }
    }
    impl->position = static_cast<std::ptrdiff_t>(store.Rows());
    impl->eof = true;
}

} // namespace mallow::engine
