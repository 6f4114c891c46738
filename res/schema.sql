-- Schema of a new account's message store (the template mms2.db).
-- Page size, encoding and journal mode are set by the template generator
-- before these statements run.

CREATE TABLE handle (
    rowid INTEGER PRIMARY KEY AUTOINCREMENT,
    address TEXT,
    person TEXT,
    suffix TEXT UNIQUE NOT NULL,
    last_date INTEGER DEFAULT 0
);

CREATE TABLE message (
    rowid INTEGER PRIMARY KEY AUTOINCREMENT,
    date INTEGER,
    is_send INTEGER NOT NULL,
    subject TEXT,
    body TEXT,
    handle_id INTEGER
);

CREATE TABLE attachment (
    rowid INTEGER PRIMARY KEY AUTOINCREMENT,
    guid TEXT UNIQUE NOT NULL,
    thumb TEXT,
    filename TEXT,
    mime_type TEXT
);

CREATE TABLE message_attachment (
    message_id INTEGER REFERENCES message(rowid) ON DELETE CASCADE,
    attachment_id INTEGER REFERENCES attachment(rowid) ON DELETE CASCADE,
    PRIMARY KEY (message_id, attachment_id)
);

CREATE INDEX index_handle_last_date ON handle(last_date);
CREATE INDEX index_message_date ON message(date);

CREATE TRIGGER trigger_clear_handle_after_del_message AFTER DELETE ON message
BEGIN
    DELETE FROM handle WHERE handle.rowid = old.handle_id
        AND (SELECT 1 from message WHERE handle_id = old.handle_id LIMIT 1) IS NULL;
    DELETE FROM message_attachment where message_id = old.rowid;
END;

CREATE TRIGGER trigger_set_handle_last_date_after_insert_message AFTER INSERT ON message
BEGIN
    UPDATE handle SET last_date = new.date WHERE rowid = new.handle_id AND new.date > last_date;
END;

CREATE TRIGGER trigger_clean_attachments AFTER DELETE ON message_attachment
BEGIN
    DELETE FROM attachment WHERE attachment.rowid = old.attachment_id
        AND (SELECT 1 from message_attachment WHERE attachment_id = old.attachment_id LIMIT 1) IS NULL;
END;

CREATE TRIGGER delete_attachment_files AFTER DELETE ON attachment
BEGIN
    SELECT delete_attachment_path(old.filename);
    SELECT delete_attachment_path(old.thumb);
END;
