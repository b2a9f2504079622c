#include "zeltor/words/Help.h"

namespace zeltor {

namespace {

// Every line fits a console of 80 columns, and names the fields as the window does.

const char kUsage[] =
    R"(Zeltor recalcula la tabla de punteros de una ROM después de traducir su texto.
Uso: Zeltor [opciones] ROM TEXTO INICIO FIN TAMAÑO SEPARADOR [PRIMERO]
  (inicio del texto, inicio y fin de la tabla, tamaño de cada puntero,
  separador y, si se quiere, primer puntero; todo en hexadecimal)
Ayuda completa: Zeltor --help
)";

const char kCalling[] =
    R"(
Zeltor --help    esta ayuda            Zeltor --version   la versión
Zeltor [opciones] --tables ARCHIVO ROM   todas las tablas de ARCHIVO

Opciones, antes de la ROM y en cualquier orden:
  --dry-run    solo calcula y muestra el informe: no escribe nada, ni copia
               ni registro; basta con poder leer la ROM.
  --map MAPA   el mapa de direcciones de la consola: linear, lorom, hirom, gb,
               nes, md o gba. Sin --map se reconoce por la cabecera de la ROM.
  --force      escribe aunque los campos parezcan equivocados (código 9).
  --keep-checksum  deja como está la suma de comprobación de la cabecera (para
               una ROM que la lleva mal a propósito).
  --big-endian cada puntero con su byte más significativo primero. En una
               Mega Drive es así sin pedirlo (con --map linear, no).
  --split      la tabla son TAMAÑO tramos de N bytes, N el número de
               punteros: el byte más bajo de cada puntero, luego el
               siguiente... (como en NES). INICIO-FIN abarca todos los tramos.
  --tables ARCHIVO  todas las tablas de una vez, con una copia y un informe;
               en la orden solo va entonces la ROM. ARCHIVO es texto UTF-8
               con una tabla por línea: primero, si hacen falta, sus opciones
               (--big-endian, --split y --run POS), y luego sus campos:
               TEXTO INICIO FIN TAMAÑO SEPARADOR [PRIMERO]. No cuentan las
               líneas en blanco ni las que empiezan por #. --big-endian y
               --split en la orden valen para todas las líneas.
  --run POS    (en una línea) una tabla dividida cuyos tramos no van
               seguidos: INICIO-FIN es el primer tramo y cada --run da dónde
               empieza el siguiente, en orden (TAMAÑO - 1 veces).
Las líneas con el mismo TEXTO comparten sus cadenas: deben tener el mismo
tamaño, formato y separador, y el mismo PRIMERO si lo dan varias.
Las opciones van antes de la ROM: una escrita después de ella es un error de
uso (código 1), nunca un campo ni una opción.

Los campos, con las palabras de la ventana de ZeltorIGU:
  ROM        el archivo de la ROM (un archivo normal, no una carpeta ni un
             dispositivo).
  TEXTO      inicio del texto: la posición de la primera cadena.
  INICIO     inicio de la tabla: la posición de su primer byte.
  FIN        fin de la tabla: la posición de su ÚLTIMO byte, incluido.
  TAMAÑO     tamaño de cada puntero, en bytes: 2, 3 o 4.
  SEPARADOR  el byte que termina cada cadena (por ejemplo 00 o FF).
  PRIMERO    primer puntero: el valor del puntero a la primera cadena, con
             los bytes tal como están en la ROM (little endian): "00a0" es
             0xA000; en big endian, todos, el más significativo primero:
             "0000a000". Sin él: con el mapa de una consola (reconocida o
             con --map), la dirección del inicio del texto, esté donde estaba
             o se haya movido (si se movió justo tras otros datos, sin
             espacio libre, o su primera cadena quedó vacía entre
             separadores, hace falta); en un archivo sin cabecera
             reconocida, el menor valor de la tabla anterior (el texto sigue
             donde estaba).
Las posiciones son del archivo, en hexadecimal y sin prefijo 0x; no son
direcciones de la consola. (FIN - INICIO + 1) debe ser un número entero de
punteros.

Emparejamiento: los valores distintos de la tabla anterior, de menor a
mayor, se emparejan con las cadenas leídas desde el inicio del texto, en
orden (las vacías también cuentan). Las entradas que compartían valor siguen
compartiendo cadena, y una tabla desordenada conserva su orden. La cadena k
recibe el primer puntero + (dirección de la cadena k - dirección de la
primera), en el formato de la tabla (little endian si no se pide otro).

)";

const char kWorking[] =
    R"(Mapas: la dirección de una posición la da el mapa de la consola: lineal (la
posición misma) si no se reconoce nada; SNES LoROM (bancos de 32 KiB en
$8000-$FFFF) y HiROM (bancos de 64 KiB), con o sin 512 bytes de copión, por
su cabecera interna; Game Boy (banco 0 en $0000, los demás en $4000) por su
cabecera en 0x100; NES por su cabecera iNES y la ventana de PRG del mapper;
Mega Drive (la posición misma, big endian) por «SEGA» en 0x100; Game Boy
Advance (0x08000000 + la posición) por 0x96 en 0xB2 y el complemento de 0xBD.
Con punteros de 2 bytes, todo el texto debe caber en el banco de la primera
cadena. El informe dice qué mapa se usó y por qué.

Suma de comprobación: donde se reconoce la cabecera de la consola (con --map,
solo si es la de ese mapa), la escritura pone al día la suma que guarda, con
la misma copia y la misma comprobación que la tabla: SNES, la suma de la ROM
tal como la ve la consola y su complemento (la cabecera de copión no
cuenta); Game Boy, la suma global de 0x14E, y la de 0x14D si cambia la
cabecera; Mega Drive, la de 0x18E; Game Boy Advance, el complemento de 0xBD
si cambia la cabecera. NES y los archivos sin cabecera no tienen suma.
--keep-checksum la deja como está.

Seguridad: antes de escribir se copia la ROM entera junto a ella, se guarda
en el disco y solo entonces pasa a llamarse ROM.bak (o .bak1, .bak2..., sin
pisar nunca una copia anterior): un archivo .bak es siempre una copia
completa. Antes de tocar la tabla se deja una nota (zeltor-....pendiente)
en la carpeta del archivo de la ROM, atada a ese archivo; si el recálculo se
corta a medias, el siguiente que escriba repone la tabla original tras su
copia y lo dice. Una nota que no cuadra con la ROM detiene el recálculo sin
escribir nada (código 10). Solo se escriben los bytes de la tabla, que se
vuelven a leer y comparar. Si algo falla, se reponen los bytes originales
antes de nada más.

Informe: una línea por entrada (índice, posición en la tabla, valor anterior,
valor nuevo, inicio y longitud de la cadena) y un resumen, en la salida
estándar y en ROM.zeltor.log, junto a la ROM. La salida de errores lleva un
aviso por línea y, al final, una línea: el resumen si ha ido bien, el error
si no.

Juicio de los campos (código 9, sin escribir nada): los campos, la tabla
anterior y la ROM deben contar lo mismo. Con el mapa de una consola, el menor
valor de la tabla señala el inicio del texto (en su sitio); si las cadenas
nuevas quedan donde estaban las viejas y no coincide, es un error de TEXTO;
si quedan lejos, el texto se ha movido y el informe lo dice. Se niega también
si la tabla es relleno o tiene valores que no son direcciones de la ROM; si
la entrada que sigue a FIN (o la que precede a INICIO) señala este texto y
quedan cadenas sin leer; si otro byte termina justo las cadenas de la tabla
y el separador no; si una cadena empieza en el espacio libre o lo atraviesa;
si el primer puntero está al revés. La longitud de las cadenas traducidas no
cuenta. Cada negativa nombra el campo y, si las pruebas lo dan, el valor con
el que todo concuerda. Si la tabla siguiente empieza justo tras FIN y su
texto justo tras este, FIN una entrada corto y FIN correcto son los mismos
bytes: se niega, da las dos lecturas y --tables (las dos tablas) o --force
lo resuelven. Igual si la última cadena queda vacía ante espacio libre y
las entradas tras FIN siguen desde ella: puede ser de la tabla siguiente o
una cadena vaciada. --force escribe igualmente; una tabla de relleno la
escribe como tabla nueva, una cadena por entrada en su orden.

)";

const char kEndings[] = R"(Códigos de salida:
  0  hecho (o simulación correcta, o la tabla ya estaba al día)
  1  uso incorrecto: número de argumentos (o de campos de una línea del
     archivo de tablas), opción o mapa desconocido
  2  campo incorrecto: posición no hexadecimal, tamaño distinto de 2, 3 o 4,
     separador o primer puntero mal escritos
  3  tabla incorrecta: fin antes del inicio, no es un número entero de
     punteros, fuera del archivo, solapada con el texto o con otra tabla,
     o demasiado grande
  4  el archivo termina antes de encontrar las cadenas necesarias
  5  un valor nuevo no cabe en el tamaño, o una cadena queda fuera del banco
     al que llega un puntero de 2 bytes (o donde la consola no ve la ROM)
  6  no se puede abrir la ROM (para escribir, salvo con --dry-run) o no es
     un archivo normal
  7  falló la copia de seguridad, la escritura o la comprobación; la ROM
     quedó byte a byte como estaba (o con la tabla a medias ya repuesta,
     si el mensaje lo dice)
  8  falló la escritura y la ROM quedó distinta: recupérela de la copia .bak
     que nombra el mensaje
  9  los campos parecen equivocados: no se ha escrito nada; revise el campo
     que nombra el mensaje, o use --force para escribir igualmente
 10  la nota de un recálculo interrumpido no cuadra con la ROM, o su nombre
     está ocupado: no se ha escrito nada; compruebe la ROM, recupere la copia
     que nombra el mensaje si la tabla quedó a medias y borre la nota
 11  otro programa sustituyó la ROM durante el recálculo: el archivo que
     lleva ahora su nombre no se ha tocado; repita el recálculo
)";

} // namespace

std::string UsageText() {
    return kUsage;
}

std::string HelpText() {
    return std::string(kUsage) + kCalling + kWorking + kEndings;
}

} // namespace zeltor
