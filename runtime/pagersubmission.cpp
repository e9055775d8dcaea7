#include "runtime/pagersubmission.h"

#include "directories/pagingcompany.h"
#include "snpp/snpppagecheck.h"

QueueSubmission pagerSubmission(const PagingCompany& company, const QByteArray& pin,
                                const QByteArray& text, const QByteArray& pagerId,
                                const QByteArray& sender)
{
    QueueSubmission submission;
    submission.accessNumber = company.AccessNumber;
    submission.settings.password = company.Password;
    submission.settings.length = SnppPageCheck::lengthOf(company);
    submission.settings.parity = company.Parity;
    submission.settings.dataBits = company.DataBits;
    submission.settings.stopBits = company.StopBits;
    submission.entry.message = text;
    submission.entry.pin = pin;
    submission.entry.sender = sender;
    submission.entry.addressee = pagerId;
    return submission;
}
