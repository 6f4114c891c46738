#pragma once

#include "PhoneMessage.h"

#include <QList>
#include <QString>
#include <QStringList>

// The phone's message store. Saved as a JSON file of our own; attachment data stays in
// files in a folder beside it ("phone.json" keeps its files in "phone.files/"), which
// the JSON names by paths relative to its own folder:
//
//   { "format": "parlowick-phonesim", "version": 1,
//     "messages": [ { "date": 1717243200000, "sent": false, "address": "+4917612345678",
//                     "person": "Anna Weber", "body": "...", "subject": "",
//                     "attachments": [ { "mime": "image/jpeg", "name": "IMG_1.jpg",
//                                        "file": "phone.files/picture-001.jpg" } ] } ] }
//
// The store is a plain value; PhoneSimulator guards the copy it serves.
class PhoneStore
{
public:
    PhoneStore() = default;

    const QList<PhoneMessage> &messages() const { return m_messages; }
    int size() const { return int(m_messages.size()); }
    int mmsCount() const;
    void append(const PhoneMessage &message) { m_messages.append(message); }
    void clear() { m_messages.clear(); }

    // The folder where attachments received from the PC are written.
    QString attachmentDir() const { return m_attachmentDir; }
    void setAttachmentDir(const QString &dir) { m_attachmentDir = dir; }

    // The contact name the phone shows for an address: the person of the newest message
    // with that address that has one; empty when there is none.
    QString contactName(const QString &address) const;
    // The addresses of all conversations, in order of first appearance.
    QStringList addresses() const;
    // Sum of the sizes of all attachment files (shared files counted each time).
    qint64 attachmentBytes() const;

    // Writes the JSON file and puts every attachment file that is not yet inside
    // attachmentFolderFor(jsonPath) there. A file already there under the same name and
    // size is taken to be the same file, so saving again copies nothing twice.
    bool save(const QString &jsonPath, QString *error = nullptr) const;
    // Replaces the content with the JSON file's; the attachment folder becomes the file's own.
    bool load(const QString &jsonPath, QString *error = nullptr);

    // "dir/name.json" -> "dir/name.files"
    static QString attachmentFolderFor(const QString &jsonPath);

private:
    QList<PhoneMessage> m_messages;
    QString m_attachmentDir;
};
