#include "PhoneSimulator.h"

#include "PhoneSimState.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QTcpServer>
#include <QThread>

#include <functional>

namespace phonesim {

namespace {

// Hands accepted sockets over as descriptors, so that each connection's thread creates
// its own socket object.
class DescriptorServer : public QTcpServer
{
public:
    explicit DescriptorServer(std::function<void(qintptr)> onConnection, QObject *parent)
        : QTcpServer(parent)
        , m_onConnection(std::move(onConnection))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override { m_onConnection(descriptor); }

private:
    std::function<void(qintptr)> m_onConnection;
};

} // namespace

// The listening sockets, on a thread whose event loop only accepts connections. Each
// connection gets a thread of its own for its blocking session code.
class Listeners
{
public:
    explicit Listeners(std::shared_ptr<SimState> state)
        : m_state(std::move(state))
    {
    }

    ~Listeners() { stop(); }

    bool start(const QHostAddress &address, QString *error)
    {
        m_thread.start();
        m_context = new QObject;
        m_context->moveToThread(&m_thread);
        bool ok = false;
        QMetaObject::invokeMethod(
            m_context, [&] { ok = listen(address, error); }, Qt::BlockingQueuedConnection);
        if (!ok)
            stop();
        return ok;
    }

    void stop()
    {
        if (!m_thread.isRunning())
            return;
        m_state->stopping = true;
        // Servers, connection threads and the context belong to the listening thread;
        // they are closed and deleted there.
        QMetaObject::invokeMethod(
            m_context,
            [this] {
                for (QThread *thread : std::as_const(m_connections)) {
                    thread->wait();
                    delete thread;
                }
                m_connections.clear();
                delete m_context;
                m_context = nullptr;
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
        QMutexLocker lock(&m_state->mutex);
        m_state->pending.clear();
    }

private:
    bool listen(const QHostAddress &address, QString *error)
    {
        struct Port
        {
            quint16 port;
            std::optional<PhoneSessionKind> dataKind;
        };
        QList<Port> ports {{PhoneSimulator::ServicePort, std::nullopt}};
        for (const SyncSessions::SessionInfo &info : SyncSessions::kSessions) {
            if (SyncSessions::hasDataPort(info.session))
                ports.append({info.port, phonesim::phoneSessionKind(info.session)});
        }
        for (const Port &p : ports) {
            const auto kind = p.dataKind;
            auto *server = new DescriptorServer([this, kind](qintptr d) { accept(d, kind); }, m_context);
            if (!server->listen(address, p.port)) {
                if (error)
                    *error = QStringLiteral("Cannot listen on %1 port %2: %3")
                                 .arg(address.toString())
                                 .arg(p.port)
                                 .arg(server->errorString());
                return false;
            }
        }
        return true;
    }

    void accept(qintptr descriptor, std::optional<PhoneSessionKind> dataKind)
    {
        // Threads of finished connections are reaped here, on the thread that made them.
        for (qsizetype i = m_connections.size() - 1; i >= 0; --i) {
            if (m_connections[i]->isFinished())
                delete m_connections.takeAt(i);
        }
        const std::shared_ptr<SimState> state = m_state;
        QThread *thread = QThread::create([state, descriptor, dataKind] {
            if (dataKind)
                serveDataConnection(state, descriptor, *dataKind);
            else
                serveServiceConnection(state, descriptor);
        });
        m_connections.append(thread);
        thread->start();
    }

    std::shared_ptr<SimState> m_state;
    QThread m_thread;
    QObject *m_context = nullptr;
    QList<QThread *> m_connections;
};

} // namespace phonesim

using phonesim::SimState;

QString phonesim::phoneOutcomeName(PhoneSessionLog::Outcome outcome)
{
    using O = PhoneSessionLog::Outcome;
    switch (outcome) {
    case O::Running:
        return QStringLiteral("running");
    case O::Completed:
        return QStringLiteral("completed");
    case O::PeerClosed:
        return QStringLiteral("closed by the PC");
    case O::FaultDrop:
        return QStringLiteral("dropped (fault)");
    case O::FaultError:
        return QStringLiteral("error sent (fault)");
    case O::RemoteError:
        return QStringLiteral("error from the PC");
    case O::ProtocolError:
        return QStringLiteral("protocol error");
    case O::PhoneFailure:
        return QStringLiteral("phone failure");
    case O::Stopped:
        return QStringLiteral("stopped");
    }
    return QString();
}

PhoneSimulator::PhoneSimulator(QObject *parent)
    : QObject(parent)
    , m_state(std::make_shared<SimState>())
{
    // The state outlives this object only while stop() waits for the connection threads,
    // and stop() runs before this object goes away.
    m_state->onStarted = [this](int id) { emit sessionStarted(id); };
    m_state->onFinished = [this](int id) { emit sessionFinished(id); };
    m_state->onStoreChanged = [this] { emit storeChanged(); };
}

PhoneSimulator::~PhoneSimulator()
{
    stop();
}

void PhoneSimulator::setAddress(const QHostAddress &address)
{
    QMutexLocker lock(&m_state->mutex);
    m_address = address;
}

QHostAddress PhoneSimulator::address() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_address;
}

bool PhoneSimulator::start(QString *error)
{
    stop();
    m_state->stopping = false;
    m_listeners = std::make_unique<phonesim::Listeners>(m_state);
    if (!m_listeners->start(address(), error)) {
        m_listeners.reset();
        return false;
    }
    return true;
}

void PhoneSimulator::stop()
{
    if (m_listeners) {
        m_listeners->stop();
        m_listeners.reset();
    }
}

bool PhoneSimulator::isRunning() const
{
    return m_listeners != nullptr;
}

void PhoneSimulator::setDeviceName(const QString &name)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->deviceName = name;
}

void PhoneSimulator::setBatchSize(int records)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->batchSize = std::max(1, records);
}

int PhoneSimulator::batchSize() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->batchSize;
}

void PhoneSimulator::setChunkSize(int bytes)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->chunkSize = std::max(1, bytes);
}

void PhoneSimulator::setRestoreAnswer(const QByteArray &line)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->restoreAnswer = line;
}

void PhoneSimulator::setFault(PhoneSessionKind kind, const PhoneFault &fault)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->faults.insert(kind, fault);
}

PhoneFault PhoneSimulator::fault(PhoneSessionKind kind) const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->faults.value(kind);
}

void PhoneSimulator::clearFaults()
{
    QMutexLocker lock(&m_state->mutex);
    m_state->faults.clear();
}

void PhoneSimulator::setStore(const PhoneStore &store)
{
    {
        QMutexLocker lock(&m_state->mutex);
        m_state->store = store;
    }
    emit storeChanged();
}

PhoneStore PhoneSimulator::store() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->store;
}

PhoneMessage PhoneSimulator::pushIncoming(const QString &address, const QString &body, const QString &person)
{
    PhoneMessage message;
    message.address = address;
    message.body = body;
    message.person = person;
    return m_state->pushIncoming(message);
}

int PhoneSimulator::listenerCount() const
{
    QMutexLocker lock(&m_state->mutex);
    return int(m_state->listeners.size());
}

bool PhoneSimulator::waitForListeners(int count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_state->mutex);
    while (m_state->listeners.size() < count) {
        if (!m_state->changed.wait(&m_state->mutex, deadline))
            return m_state->listeners.size() >= count;
    }
    return true;
}

QList<PhoneSessionLog> PhoneSimulator::sessions() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->logs;
}

PhoneSessionLog PhoneSimulator::session(int id) const
{
    QMutexLocker lock(&m_state->mutex);
    for (const PhoneSessionLog &log : std::as_const(m_state->logs)) {
        if (log.id == id)
            return log;
    }
    return PhoneSessionLog();
}

int PhoneSimulator::finishedSessionCount() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->finishedCount;
}

bool PhoneSimulator::waitForFinishedSessions(int count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_state->mutex);
    while (m_state->finishedCount < count) {
        if (!m_state->changed.wait(&m_state->mutex, deadline))
            return m_state->finishedCount >= count;
    }
    return true;
}

void PhoneSimulator::clearSessions()
{
    QMutexLocker lock(&m_state->mutex);
    m_state->logs.clear();
    m_state->finishedCount = 0;
}
