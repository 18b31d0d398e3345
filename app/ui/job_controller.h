// The four job buttons of the main window, wired to the download job's handlers.
#pragma once

#include <memory>

#include <QObject>

#include "core/download_job.h"

class MainWindow;

class JobController : public QObject {
    Q_OBJECT
public:
    // Connects 按钮_开始下载, 按钮_暂停线程, 按钮_继续下载 and 按钮_结束下载 of `window`.
    // `binder` binds the extractor libraries for the whole run.
    explicit JobController(MainWindow& window,
                           std::shared_ptr<ExtractorBinder> binder = std::make_shared<ExtractorBinder>());

    JobControl& control() { return control_; }

private:
    MainWindow& window_;
    JobControl control_;
};
