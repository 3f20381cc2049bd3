#pragma once

#include "Value.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mallow::engine {

class Connection;

enum class CursorType { Unspecified = -1, ForwardOnly = 0, Keyset = 1, Dynamic = 2, Static = 3 };
enum class LockType { Unspecified = -1, ReadOnly = 1, Pessimistic = 2, Optimistic = 3 };
/// How the source of Open is read: command text or the name of a table.
enum CommandOption { adCmdText = 1, adCmdTable = 2 };

/// A row set with keyset semantics: its membership and order are fixed when it opens (and at
/// Requery); the values are those read then, plus whatever this row set or one of its clones
/// wrote. A row set on a single table can add, change and delete rows; one on a join or a
/// computed column is read-only (3027 on writing).
class Recordset
{
public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    CursorType cursorType = CursorType::Keyset;
    LockType lockType = LockType::Optimistic;

    /// Opens on `source`, a SELECT statement (adCmdText) or a table name (adCmdTable), and
    /// positions on the first row. Raises the engine's errors for a bad statement or table.
    void Open(const std::string& source, Connection& connection, int options = adCmdText,
              const std::vector<Value>& parameters = {});
    /// Writes a pending edit first, as moving away from it does. Destroying a recordset
    /// without closing it drops a pending edit instead.
    void Close();
    bool IsOpen() const;

    void MoveFirst();
    void MoveNext(); ///< raises 3021 when already past the last row
    void MoveLast();
    void MovePrevious();
    bool Eof() const;         ///< past the last row (EOF)
    bool Bof() const;         ///< before the first row (BOF)
    long RecordCount() const; ///< exact: the rows not deleted

    /// Reads a field of the current row; raises 3265 for an unknown name, 3021 without a current
    /// row. Names are compared without regard to case.
    Value Field(std::string_view name) const;
    /// Assigns a field of the current row (or of the row being added), converting to the
    /// column's type: 3421 when the value cannot be converted, 3163 when text is too long.
    /// Nothing is written before Update.
    void SetField(std::string_view name, const Value& value);
    std::vector<std::string> FieldNames() const;
    int FieldCount() const;
    /// Reads a field by its position, from 0; 3265 beyond the last.
    Value FieldAt(int index) const;

    /// Starts a new row; an auto-number column already holds its value until Update.
    void AddNew();
    /// Writes the pending row through its table; raises the engine's error and keeps the row
    /// pending on failure, with nothing written. 3197 when another client changed the same
    /// fields since they were read, 3167 when it deleted the row. A row set and its clones are
    /// one client: what one of them saved is no conflict for the others, and an assignment
    /// made before a clone saved the same field is dropped, not written over that save.
    void Update();
    /// Drops the pending row or edit; an auto-number it was given stays unused.
    void CancelUpdate();
    /// Whether AddNew or an assignment started a change that Update has not written yet.
    bool EditPending() const;
    /// Deletes the current row; it stays current (and unreadable) until the cursor moves.
    void Delete();
    /// Reopens on the same source, positioning on the first row.
    void Requery();
    /// An independent cursor over the same rows, and the same client of the database as this
    /// row set; what either writes, the other sees.
    Recordset Clone(LockType lock = LockType::Unspecified) const;
    /// Moves forward from the current row (included) to the first row meeting `criteria`, one
    /// comparison "[Field] op value" (op = <> < > <= >= Like; value a number, 'text' or #date#).
    /// Leaves the cursor at EOF when no row meets it.
    void Find(const std::string& criteria);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace mallow::engine
