#include "app/labels.h"

QVector<LabelSheet::Label> Labels::of(const CalibrationReport::Input &input)
{
    QVector<LabelSheet::Label> labels;
    for (const CalibrationReport::Sensor &sensor : input.sensors) {
        if (!sensor.written || !sensor.data)
            continue;
        const CalibrationRecord &written = *sensor.written;
        LabelSheet::Label label;
        label.serial = written.serial.isEmpty() ? sensor.serial : written.serial;
        label.pass = written.passes(input.tolerance);
        label.date = written.time.date();
        label.certificate = written.certificate.isEmpty() ? input.certificate : written.certificate;
        label.run = written.run.isEmpty() ? input.runId : written.run;
        labels << label;
    }
    return labels;
}
