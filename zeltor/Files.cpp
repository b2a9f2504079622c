#include "zeltor/Files.h"

#include "zeltor/words/Text.h"

namespace zeltor {

std::string Describe(const FileError& error) {
    std::string text;
    switch (error.cause) {
    case Cause::NotFound:
        text = "no existe";
        break;
    case Cause::AccessDenied:
        text = "permiso denegado";
        break;
    case Cause::DiskFull:
        text = "no hay espacio en el disco";
        break;
    case Cause::InUse:
        text = "otro programa lo está usando";
        break;
    case Cause::ReadOnly:
        text = "el disco es de solo lectura";
        break;
    case Cause::Folder:
        text = "es una carpeta, no un archivo";
        break;
    case Cause::Pipe:
        text = "es una tubería (FIFO), no un archivo normal";
        break;
    case Cause::Device:
        text = "es un dispositivo, no un archivo normal";
        break;
    case Cause::Truncated:
        text = "el archivo es más corto de lo esperado";
        break;
    case Cause::NameTooLong:
        text = "el nombre es demasiado largo";
        break;
    case Cause::Link:
        text = "es un enlace, no un archivo propio";
        break;
    case Cause::ManyNames:
        text = "tiene más de un nombre (un enlace duro, quizá a la ROM)";
        break;
    case Cause::Other:
        text = "error del sistema";
        break;
    }
    if (!error.system.empty()) {
        text += " (" + Shown(error.system, kSystemLimit) + ")";
    }
    return text;
}

} // namespace zeltor
