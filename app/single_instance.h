// One running instance per executable file name and user. The first start listens on a local
// socket named after both; a later start connects, asks the first to restore and raise its main
// window, and ends. A socket left behind by a killed instance is removed and taken over.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace app {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    enum class Start {
        First,  // this is the running instance now
        Handed, // another instance was asked to come forward; end at once
        Failed, // the mechanism could not be set up
    };

    // key: usually the executable's file name; the user's name is added to it.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    Start TryStart();
    QString SocketName() const { return name_; }

  signals:
    // A later start asked this instance to bring its window back.
    void RaiseRequested();

  private:
    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace app
