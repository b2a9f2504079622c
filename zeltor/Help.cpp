#include "zeltor/Recalculator.h"

namespace zeltor {

std::string HelpText() {
    return R"(Zeltor: recalcula la tabla de punteros de una ROM después de traducir sus textos.

Uso:  Zeltor [--dry-run] ROM TEXTSTART TABLESTART TABLEEND SIZE SEPARATOR [FIRST]
      Zeltor --help
      Zeltor --version

  --dry-run   solo calcula y muestra el informe: no escribe nada, ni copia ni registro.
              Solo se reconoce como primer argumento.
  ROM         el archivo de la ROM (un archivo normal, no una carpeta ni un dispositivo).
  TEXTSTART   desplazamiento en el archivo donde empieza el texto (hexadecimal).
  TABLESTART  desplazamiento del primer byte de la tabla de punteros (hexadecimal).
  TABLEEND    desplazamiento del ÚLTIMO byte de la tabla, incluido (hexadecimal).
  SIZE        bytes por puntero: 2, 3 o 4.
  SEPARATOR   byte que termina cada cadena, en hexadecimal (por ejemplo 00 o FF).
  FIRST       valor del primer puntero, escrito con los bytes tal como están en la ROM
              (little endian): "00a0" es 0xA000. Sin FIRST se usa el valor que tiene ahora
              la entrada 0.

--help (o -h) y --version solo se reconocen como único argumento. Cualquier otro argumento es un campo:
un campo que diga "-h" o "--dry-run" es un campo incorrecto.

Los desplazamientos son posiciones dentro del archivo, sin prefijo 0x, no direcciones de la
consola. La tabla tiene N = (TABLEEND - TABLESTART + 1) / SIZE entradas; la división debe ser
exacta. Se leen N cadenas seguidas desde TEXTSTART; cada una acaba en el byte SEPARATOR (las
cadenas vacías también cuentan). La entrada k pasa a valer FIRST + (inicio de la cadena k -
TEXTSTART), escrita en little endian en SIZE bytes.

Seguridad: antes de escribir se copia la ROM entera a ROM.copia-incompleta.tmp, se guarda en el
disco y solo entonces pasa a llamarse ROM.bak (o .bak1, .bak2... sin pisar nunca una copia
anterior): un archivo .bak es siempre una copia completa. Solo se escriben los bytes de la
tabla, que se vuelven a leer y comprobar. Si algo falla, se reponen los bytes originales antes
de nada más, y la ROM queda exactamente como estaba.

Informe: una línea por entrada (índice, posición en la tabla, valor anterior, valor nuevo,
inicio y longitud de la cadena) y un resumen, en la salida estándar y en ROM.zeltor.log junto
a la ROM. Los avisos y los errores van además, una línea cada uno, a la salida de errores.
Avisa (sin negarse) si FIRST no es el valor actual de la entrada 0 (y si parece escrito con los
bytes al revés), si la tabla parece seguir después de TABLEEND, si la tabla anterior no estaba
en orden ascendente o si varias entradas apuntaban al mismo sitio.

Códigos de salida:
  0  hecho (o simulación correcta, o la tabla ya estaba al día)
  1  uso incorrecto: número de argumentos
  2  campo incorrecto: hexadecimal no válido, SIZE distinto de 2, 3 o 4, SEPARATOR o FIRST mal
  3  tabla incorrecta: final antes del inicio, no es un número entero de punteros, fuera del
     archivo, solapada con el texto o demasiado grande para la memoria disponible
  4  el archivo termina antes de encontrar las N cadenas
  5  un valor nuevo no cabe en SIZE bytes
  6  no se puede abrir la ROM (para escribir, salvo con --dry-run) o no es un archivo normal
  7  falló la copia de seguridad, la escritura o la comprobación; la ROM quedó como estaba
  8  falló la escritura y no se pudo reponer la ROM: recupérela de la copia .bak indicada
)";
}

} // namespace zeltor
