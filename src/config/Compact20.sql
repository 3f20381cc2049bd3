-- The configuration database of Mallow. The build runs this script into a new file,
-- Compact20.mdb, beside the program; the program itself never creates or alters a table.
-- Declared types tell the engine how to convert what the program assigns: INTEGER columns
-- take whole numbers, BOOLEAN columns True/False, DATETIME columns dates, TEXT columns text.

CREATE TABLE Apps (
    "App ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    App TEXT,
    Password TEXT,
    MDW TEXT,
    UserName TEXT,
    UserPassword TEXT,
    LogUsersOff INTEGER DEFAULT 0
);
CREATE INDEX AppsByApp ON Apps (App);

CREATE TABLE Schedule (
    Monday TEXT(50),
    Tuesday TEXT(50),
    Wednesday TEXT(50),
    Thursday TEXT(50),
    Friday TEXT(50),
    Saturday TEXT(50),
    Sunday TEXT(50),
    Backup TEXT,
    Enabled INTEGER DEFAULT 0,
    BUEnabled INTEGER DEFAULT 0,
    BUDays INTEGER DEFAULT 7,
    SendDisconnectMsg INTEGER DEFAULT 0,
    DelayBeforeDisconnect INTEGER DEFAULT 60,
    DisconnectMessage TEXT,
    RunAtStartup INTEGER DEFAULT 0,
    MinimizeAtStartup INTEGER DEFAULT 0
);
INSERT INTO Schedule (Monday, Tuesday, Wednesday, Thursday, Friday, Saturday, Sunday, Backup,
                      Enabled, BUEnabled, BUDays, SendDisconnectMsg, DelayBeforeDisconnect,
                      DisconnectMessage, RunAtStartup, MinimizeAtStartup)
VALUES ('', '', '', '', '', '', '', '', 0, 0, 7, 0, 60,
        'The database will be closed for maintenance in one minute. Please save your work and close it.',
        0, 0);

CREATE TABLE Log (
    "Event ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "App ID" INTEGER,
    Application TEXT,
    Successful BOOLEAN,
    "Size Before" INTEGER,
    "Size After" INTEGER,
    TimeLogged DATETIME,
    Comments TEXT
);
CREATE INDEX LogByTime ON Log (TimeLogged);

CREATE TABLE LogBackup (
    "Event ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "App ID" INTEGER,
    Application TEXT,
    Successful BOOLEAN,
    TimeLogged DATETIME,
    Comments TEXT
);
CREATE INDEX LogBackupByTime ON LogBackup (TimeLogged);
