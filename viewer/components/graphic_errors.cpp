#include "viewer/components/graphic_errors.h"

namespace brevant {

std::string componentString(int id) {
    switch (id) {
        case kSGifVersion:
            return "Неизвестная версия изображения GIF";
        case kSGifEncode:
            return "Ошибка кодировки данных в формат GIF";
        case kSGifDecode:
            return "Неверные данные в формате GIF";
        case kSGifCodeSize:
            return "Размер кода GIF не принадлежит диапазону от 2 до 9";
        case kSGifColours:
            return "Неверное число цветов; должно быть степенью числа 2";
        case kSGifExtension:
            return "Неопределенное расширение GIF: %.2x";
        case kSGifNoData:
            return "Нет данных для записи в формате GIF";
        case kSGifResize:
            return "Невозможно изменить размер изображения GIF";
        case kSGifDescription:
            return "GIF Image";
        case kSNotImplemented:
            return "Функция не реализована";
        default:
            return {};
    }
}

}  // namespace brevant
