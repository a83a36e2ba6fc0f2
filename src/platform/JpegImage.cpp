#include "platform/JpegImage.h"

#include <csetjmp>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace {

// libjpeg's default error_exit ends the process; ours jumps back to the
// decoder with the message kept. Only plain C data lives between setjmp and
// longjmp, so no destructor is skipped.
struct TJpegErrors {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info)
{
    auto* errors = reinterpret_cast<TJpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->Message);
    std::longjmp(errors->Jump, 1);
}

// Warnings (a corrupt stretch that libjpeg can skip) are not worth a message
// on the console.
void OutputMessage(j_common_ptr) {}

bool ReadHeader(jpeg_decompress_struct* info, TJpegErrors* errors, const unsigned char* data,
                unsigned long size)
{
    if (setjmp(errors->Jump))
        return false;
    jpeg_mem_src(info, data, size);
    jpeg_read_header(info, TRUE);
    info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    return info->output_components == 3;
}

bool ReadLines(jpeg_decompress_struct* info, TJpegErrors* errors, unsigned char* bits,
               std::ptrdiff_t bytesPerLine)
{
    if (setjmp(errors->Jump))
        return false;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = bits + bytesPerLine * info->output_scanline;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray& data, QString* error)
{
    TJpegErrors errors{};
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&errors.Manager);
    errors.Manager.error_exit = ErrorExit;
    errors.Manager.output_message = OutputMessage;
    jpeg_create_decompress(&info);

    QImage image;
    QString reason;
    bool ok = false;
    if (data.isEmpty()) {
        reason = QStringLiteral("No image data");
    } else if (ReadHeader(&info, &errors, reinterpret_cast<const unsigned char*>(data.constData()),
                          static_cast<unsigned long>(data.size()))) {
        image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                       QImage::Format_RGB888);
        if (image.isNull())
            reason = QStringLiteral("The image is too large");
        else
            ok = ReadLines(&info, &errors, image.bits(), image.bytesPerLine());
    }
    jpeg_destroy_decompress(&info);

    if (!ok) {
        if (error) {
            if (reason.isEmpty())
                reason = QString::fromLocal8Bit(errors.Message);
            *error = reason.isEmpty() ? QStringLiteral("Unsupported JPEG image") : reason;
        }
        return QImage();
    }
    return image.convertToFormat(QImage::Format_RGB32);
}
