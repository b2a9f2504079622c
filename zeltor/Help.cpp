#include "zeltor/Recalculator.h"

namespace zeltor {

namespace {

// The help in three parts: how to call it and what it does; the maps, safety and report;
// the refusals and the exit codes.
const char kCalling[] =
    R"(Zeltor: recalcula la tabla de punteros de una ROM después de traducir sus textos.

Uso:  Zeltor [opciones] ROM TEXTSTART TABLESTART TABLEEND SIZE SEPARATOR [FIRST]
      Zeltor --help
      Zeltor --version

Opciones, antes de la ROM y en cualquier orden:
  --dry-run    solo calcula y muestra el informe: no escribe nada, ni copia ni
               registro.
  --map MAPA   el mapa de direcciones de la consola: linear, lorom, hirom, gb o
               nes. Sin --map se reconoce por la cabecera de la ROM.
  --force      escribe aunque los campos parezcan equivocados (código 9).

  ROM         el archivo de la ROM (un archivo normal, no una carpeta ni un dispositivo).
  TEXTSTART   desplazamiento en el archivo donde empieza el texto (hexadecimal).
  TABLESTART  desplazamiento del primer byte de la tabla de punteros (hexadecimal).
  TABLEEND    desplazamiento del ÚLTIMO byte de la tabla, incluido (hexadecimal).
  SIZE        bytes por puntero: 2, 3 o 4.
  SEPARATOR   byte que termina cada cadena, en hexadecimal (por ejemplo 00 o FF).
  FIRST       valor del puntero a la primera cadena, escrito con los bytes tal
              como están en la ROM (little endian): "00a0" es 0xA000. Sin FIRST
              se usa el menor valor de la tabla anterior.

--help (o -h) y --version solo se reconocen como único argumento. Desde la
ROM, todo argumento es un campo: un campo que diga "-h" o "--dry-run" es un
campo incorrecto.

Los desplazamientos son posiciones dentro del archivo, sin prefijo 0x, no
direcciones de la consola. La tabla tiene N = (TABLEEND - TABLESTART + 1) /
SIZE entradas; la división debe ser exacta.

Emparejamiento: los valores distintos de la tabla anterior, de menor a mayor,
se emparejan con las cadenas leídas desde TEXTSTART, en orden (las vacías
también cuentan): tantas cadenas como valores distintos. Las entradas que
compartían valor siguen compartiendo cadena, y una tabla desordenada conserva
su orden. La cadena k recibe FIRST + (dirección de la cadena k - dirección de
la primera), en little endian en SIZE bytes.

)";

const char kWorking[] =
    R"(Mapas: la dirección de una posición la da el mapa de la consola. lineal (la
posición misma) si no se reconoce nada; SNES LoROM (bancos de 32 KiB en
$8000-$FFFF) y HiROM (bancos de 64 KiB), con o sin 512 bytes de copión, por su
cabecera interna; Game Boy (banco 0 en $0000, los demás en $4000) por su
cabecera en 0x100; NES por su cabecera iNES y la ventana de PRG del mapper.
Con punteros de 2 bytes, todo el texto debe caber en el banco de la primera
cadena. El informe dice qué mapa se usó y por qué.

Seguridad: antes de escribir se copia la ROM entera a ROM.copia-incompleta.tmp, se guarda en el
disco y solo entonces pasa a llamarse ROM.bak (o .bak1, .bak2... sin pisar nunca una copia
anterior): un archivo .bak es siempre una copia completa. Solo se escriben los bytes de la
tabla, que se vuelven a leer y comprobar. Si algo falla, se reponen los bytes originales antes
de nada más, y la ROM queda exactamente como estaba.

Informe: una línea por entrada (índice, posición en la tabla, valor anterior, valor nuevo,
inicio y longitud de la cadena) y un resumen, en la salida estándar y en ROM.zeltor.log junto
a la ROM. Los avisos y los errores van además, una línea cada uno, a la salida de errores.

Se niega (código 9, sin escribir nada) si los campos parecen equivocados: el
separador deja vacías la mayoría de las cadenas o una se traga varias; FIRST
es el valor de la tabla con los bytes al revés; la tabla parece seguir tras
TABLEEND; la tabla es relleno, o sus valores no corresponden a las cadenas.
Cada negativa nombra el campo que hay que revisar. --force escribe igualmente.

)";

const char kEndings[] = R"(Códigos de salida:
  0  hecho (o simulación correcta, o la tabla ya estaba al día)
  1  uso incorrecto: número de argumentos, opción o mapa desconocido
  2  campo incorrecto: hexadecimal no válido, SIZE distinto de 2, 3 o 4, SEPARATOR o FIRST mal
  3  tabla incorrecta: final antes del inicio, no es un número entero de punteros, fuera del
     archivo, solapada con el texto o demasiado grande para la memoria disponible
  4  el archivo termina antes de encontrar las cadenas necesarias
  5  un valor nuevo no cabe en SIZE bytes, o una cadena queda fuera del banco
     al que llega un puntero de 2 bytes (o donde la consola no ve la ROM)
  6  no se puede abrir la ROM (para escribir, salvo con --dry-run) o no es un archivo normal
  7  falló la copia de seguridad, la escritura o la comprobación; la ROM quedó como estaba
  8  falló la escritura y no se pudo reponer la ROM: recupérela de la copia .bak indicada
  9  los campos parecen equivocados: no se ha escrito nada; revise el campo
     indicado, o use --force para escribir igualmente
)";

} // namespace

std::string HelpText() {
    return std::string(kCalling) + kWorking + kEndings;
}

} // namespace zeltor
