// The phone's side of each session, written as straight blocking code on the
// connection's own thread.

#include "PhoneLineChannel.h"
#include "PhoneSimState.h"
#include "PhoneWire.h"

#include <QDateTime>
#include <QFile>
#include <QScopeGuard>
#include <QTcpSocket>

#include <functional>

namespace phonesim {

namespace {

using Outcome = PhoneSessionLog::Outcome;
using Role = phonewire::LineRole;

constexpr int kPairStepMs = 25;

PhoneSessionKind kindOfUrl(const QByteArray &url)
{
    for (const SyncSessions::SessionInfo &info : SyncSessions::kSessions) {
        if (url == SyncSessions::url(info.session).toLatin1())
            return phoneSessionKind(info.session);
    }
    return PhoneSessionKind::Unknown;
}

Ending completed()
{
    return {Outcome::Completed, QString()};
}

Ending hello(LineChannel &ch, SimState &state)
{
    QString name;
    {
        QMutexLocker lock(&state.mutex);
        name = state.deviceName;
    }
    if (!ch.send("$hello:" + phonewire::encodeText(name), Role::Command) || !ch.finishAndClose())
        return ch.ending();
    return completed();
}

Ending sendSms(LineChannel &ch, SimState &state)
{
    QByteArray request;
    if (!ch.readLine(&request))
        return ch.ending();
    PhoneMessage m;
    if (!phonewire::parseSendRequest(request, &m.address, &m.body))
        return ch.fail(Outcome::ProtocolError, QStringLiteral("Bad send request: ") + QString::fromLatin1(request));
    // The phone sends the text, files it as sent and reports the record it filed.
    m.date = QDateTime::currentMSecsSinceEpoch();
    m.sent = true;
    m.person = state.contactName(m.address);
    state.addMessage(m);
    if (!ch.send("$sms:" + phonewire::phoneRecord(m, 5), Role::Record))
        return ch.ending();
    QByteArray line;
    while (ch.readLine(&line)) {
        if (line == "$bye:")
            return ch.finishAndClose() ? completed() : ch.ending();
    }
    return ch.ending();
}

bool sendAttachment(LineChannel &ch, const PhoneAttachment &a, int chunkSize, Ending *ending)
{
    if (!ch.send("$atta:" + a.mimeType.toLatin1() + ',' + a.fileName.toLatin1(), Role::AttaHeader)) {
        *ending = ch.ending();
        return false;
    }
    QFile file(a.filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *ending
            = ch.fail(Outcome::PhoneFailure, QStringLiteral("Cannot read %1: %2").arg(a.filePath, file.errorString()));
        return false;
    }
    for (;;) {
        const QByteArray bytes = file.read(chunkSize);
        if (bytes.isEmpty())
            break;
        if (!ch.send(bytes.toBase64(), Role::Data)) {
            *ending = ch.ending();
            return false;
        }
    }
    if (!ch.send(".", Role::Reply)) {
        *ending = ch.ending();
        return false;
    }
    return true;
}

// Lines on the data connection: "$count:N", then per batch "$batch:", the records,
// "$end:" and a wait for the PC's "$batch:"; "$bye:" at the end. A store without
// messages still sends one empty batch.
Ending backup(LineChannel &ch, SimState &state)
{
    const QList<PhoneMessage> messages = state.messages();
    int batchSize, chunkSize;
    {
        QMutexLocker lock(&state.mutex);
        batchSize = std::max(1, state.batchSize);
        chunkSize = std::max(1, state.chunkSize);
    }
    if (!ch.send("$count:" + QByteArray::number(messages.size()), Role::Command))
        return ch.ending();
    int index = 0;
    do {
        if (!ch.send("$batch:", Role::Command))
            return ch.ending();
        const int end = std::min(index + batchSize, int(messages.size()));
        for (; index < end; ++index) {
            const PhoneMessage &m = messages[index];
            // SMS go out with 5, 6 or 7 fields in turn, as phones differ in what they send.
            const int fields = m.isMms() ? 7 : 5 + index % 3;
            if (!ch.send("$sms:" + phonewire::phoneRecord(m, fields), Role::Record))
                return ch.ending();
            if (m.attachments.isEmpty())
                continue;
            QByteArray answer;
            if (!ch.readLine(&answer))
                return ch.ending();
            if (answer != "1")
                continue;
            for (const PhoneAttachment &a : m.attachments) {
                Ending ending;
                if (!sendAttachment(ch, a, chunkSize, &ending))
                    return ending;
                QByteArray ack;
                if (!ch.readLine(&ack))
                    return ch.ending();
            }
        }
        if (!ch.send("$end:", Role::Command))
            return ch.ending();
        QByteArray line;
        do {
            if (!ch.readLine(&line))
                return ch.ending();
        } while (line != "$batch:");
    } while (index < messages.size());
    if (!ch.send("$bye:", Role::Command) || !ch.finishAndClose())
        return ch.ending();
    return completed();
}

bool receiveAttachment(LineChannel &ch, SimState &state, PhoneAttachment *out, Ending *ending)
{
    QByteArray header;
    if (!ch.readLine(&header)) {
        *ending = ch.ending();
        return false;
    }
    if (!header.startsWith("$atta:")) {
        *ending
            = ch.fail(Outcome::ProtocolError, QStringLiteral("Expected $atta:, got: ") + QString::fromLatin1(header));
        return false;
    }
    if (!phonewire::parseAttaHeader(header.mid(6), &out->mimeType, &out->fileName)) {
        *ending = ch.fail(Outcome::ProtocolError,
            QStringLiteral("$atta: needs a type and a file name: ") + QString::fromLatin1(header));
        return false;
    }
    out->filePath = state.reserveAttachmentFile(out->fileName);
    QFile file(out->filePath);
    if (out->filePath.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *ending = ch.fail(Outcome::PhoneFailure, QStringLiteral("Cannot store %1").arg(out->fileName));
        return false;
    }
    auto dropPartial = qScopeGuard([&file] { file.remove(); });
    QByteArray line;
    for (;;) {
        if (!ch.readLine(&line, true)) {
            *ending = ch.ending();
            return false;
        }
        if (line.startsWith('.'))
            break;
        const auto decoded = QByteArray::fromBase64Encoding(line, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            *ending = ch.fail(Outcome::ProtocolError,
                QStringLiteral("Attachment data is not Base64: ") + QString::fromLatin1(line.left(80)));
            return false;
        }
        if (file.write(decoded.decoded) != decoded.decoded.size()) {
            *ending = ch.fail(
                Outcome::PhoneFailure, QStringLiteral("Cannot store %1: %2").arg(out->fileName, file.errorString()));
            return false;
        }
    }
    file.close();
    dropPartial.dismiss();
    if (!ch.send(".", Role::Reply)) {
        *ending = ch.ending();
        return false;
    }
    return true;
}

// Every record is filed as soon as it and its attachments are in, so a broken session
// leaves on the phone what had arrived, as a real phone would.
Ending restore(LineChannel &ch, SimState &state)
{
    QByteArray answer;
    {
        QMutexLocker lock(&state.mutex);
        answer = state.restoreAnswer;
    }
    const bool wantsAttachments = answer.toInt() == 1;
    QByteArray line;
    while (ch.readLine(&line)) {
        if (line == "$bye:")
            return ch.finishAndClose() ? completed() : ch.ending();
        if (line == "$end:") {
            if (!ch.send("$batch:", Role::Command))
                return ch.ending();
            continue;
        }
        if (!line.startsWith("$sms:"))
            continue; // "$batch:" opens a batch; nothing else is expected
        phonewire::PcRecord record;
        QString error;
        if (!phonewire::parsePcRecord(line.mid(5), &record, &error))
            return ch.fail(Outcome::ProtocolError, error);
        record.message.person = state.contactName(record.message.address);
        if (record.attachmentCount > 0) {
            if (!ch.send(answer, Role::Reply))
                return ch.ending();
            for (int i = 0; wantsAttachments && i < record.attachmentCount; ++i) {
                PhoneAttachment attachment;
                Ending ending;
                if (!receiveAttachment(ch, state, &attachment, &ending))
                    return ending;
                record.message.attachments.append(attachment);
            }
        }
        state.addMessage(record.message);
    }
    return ch.ending();
}

// Pushes each incoming message as one "$sms:" line until the PC closes.
Ending incoming(LineChannel &ch, SimState &state)
{
    const std::shared_ptr<PushQueue> queue = state.addListener();
    auto unregister = qScopeGuard([&] { state.removeListener(queue); });
    QByteArray line;
    for (;;) {
        for (const QByteArray &record : queue->take()) {
            if (!ch.send("$sms:" + record, Role::Record))
                return ch.ending();
        }
        if (ch.poll(&line, 50) == LineChannel::Poll::Ended)
            return ch.ending();
    }
}

// A session under its fault plan: the plan's opening, a silent phone, or the session itself
// after the plan's opening line.
Ending runSession(LineChannel &ch, const PhoneFault &fault, const std::function<Ending()> &session)
{
    ch.setFault(fault);
    if (!ch.begin())
        return ch.ending();
    if (fault.silent)
        return ch.holdSilently();
    if (fault.openingLine && !ch.send(*fault.openingLine, Role::Reply))
        return ch.ending();
    return session();
}

} // namespace

void serveServiceConnection(const std::shared_ptr<SimState> &state, qintptr descriptor)
{
    QTcpSocket socket;
    if (!socket.setSocketDescriptor(descriptor))
        return;
    LineChannel ch(socket, *state);
    QByteArray url;
    if (!ch.readLine(&url))
        return; // closed before naming a session
    const PhoneSessionKind kind = kindOfUrl(url);
    const int id = state->openSession(kind, url);
    ch.setSession(id);

    switch (kind) {
    case PhoneSessionKind::Unknown: {
        const Ending e = ch.fail(Outcome::ProtocolError, QStringLiteral("Unknown session ") + QString::fromLatin1(url));
        state->finish(id, e.outcome, e.detail);
        return;
    }
    case PhoneSessionKind::Hello:
    case PhoneSessionKind::SendSms: {
        const Ending e = runSession(ch, state->takeFault(kind),
            [&] { return kind == PhoneSessionKind::Hello ? hello(ch, *state) : sendSms(ch, *state); });
        state->finish(id, e.outcome, e.detail);
        return;
    }
    case PhoneSessionKind::Backup:
    case PhoneSessionKind::Restore:
    case PhoneSessionKind::SmsRecv:
        // The data connection carries the session; this one is only read (and logged)
        // until the PC closes it.
        state->addPending(kind, id);
        QByteArray line;
        while (ch.poll(&line, 1000) != LineChannel::Poll::Ended) { }
        return;
    }
}

void serveDataConnection(const std::shared_ptr<SimState> &state, qintptr descriptor, PhoneSessionKind kind)
{
    QTcpSocket socket;
    if (!socket.setSocketDescriptor(descriptor))
        return;
    // The URL on the service port names the session; the PC may connect here a moment
    // before the phone has read it.
    std::optional<int> id;
    while (!(id = state->takePending(kind))) {
        if (state->stopping || socket.state() != QAbstractSocket::ConnectedState)
            return;
        socket.waitForReadyRead(kPairStepMs);
    }

    const PhoneFault fault = state->takeFault(kind);
    LineChannel ch(socket, *state);
    ch.setSession(*id);
    const Ending e = runSession(ch, fault, [&] {
        if (kind == PhoneSessionKind::Backup)
            return backup(ch, *state);
        if (kind == PhoneSessionKind::Restore)
            return restore(ch, *state);
        return incoming(ch, *state);
    });
    state->finish(*id, e.outcome, e.detail);
}

} // namespace phonesim
