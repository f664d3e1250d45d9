#pragma once
// The base of the framework's plug-ins (format plug-ins such as urpimage_formats.so). A plug-in
// module exports one instance through Qt's plug-in mechanism; the framework calls
// registerClasses() once after loading it.

#include <ur/urcore_export.h>

#include <QObject>
#include <QString>

namespace ur {

class URCORE_EXPORT CxPlugin : public QObject {
  Q_OBJECT
public:
  explicit CxPlugin(QObject* parent = nullptr);
  ~CxPlugin() override;

  // The order of these virtual operations is part of the plug-in interface; keep it.
  virtual bool registerClasses() = 0;
  // Called after registerClasses(), before the plug-in is used.
  virtual void initialize();
  // Called before the framework shuts down.
  virtual void finalize();
  // Called when the user interface language changes.
  virtual void retranslate();
  virtual QString name() const = 0;
  virtual QString author() const;
  virtual QString description() const;
  virtual void version(int& major, int& minor, int& patch) const;
  virtual QString version() const;
  virtual QString website() const;
  virtual QString copyrightNotice() const;
  virtual bool customCommand(const QString& command, int arg1, int arg2, void* in, void* out);
};

}  // namespace ur

#define CxPlugin_iid "org.zelproject.core.CxPlugin"
Q_DECLARE_INTERFACE(ur::CxPlugin, CxPlugin_iid)
