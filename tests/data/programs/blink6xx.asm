; blink6xx.asm - LED blinker for the 12F629/675 and 16F630/676.
;
; An LED with a series resistor on GP0 (RA0 on the 14-pin parts) blinks at a
; rate read from data EEPROM cell 0. The internal oscillator is trimmed at
; start-up from the factory word at 0x3FF (a RETLW k that the chip keeps).
;
; Assembled with -D PROTECTED (see protection.inc) for the tests of
; protected chips.
;
; Build: see build.sh (one HEX file per chip).

#ifdef __12F629
        include <p12f629.inc>
#define LED_PORT GPIO
#define LED_TRIS TRISIO
#endif
#ifdef __12F675
        include <p12f675.inc>
#define LED_PORT GPIO
#define LED_TRIS TRISIO
#define HAS_ANSEL
#endif
#ifdef __16F630
        include <p16f630.inc>
#define LED_PORT PORTA
#define LED_TRIS TRISA
#endif
#ifdef __16F676
        include <p16f676.inc>
#define LED_PORT PORTA
#define LED_TRIS TRISA
#define HAS_ANSEL
#endif
        errorlevel -302         ; the bank selects below are deliberate
        include "protection.inc"

        ; Internal oscillator, watchdog off, power-up timer on, MCLR kept as
        ; reset (so that the programmer's reset always stops the chip).
        __CONFIG _INTRC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _BOREN_ON & PROTECTION
#ifdef PROTECTED
        __IDLOCS h'1234'
#else
        __IDLOCS h'6751'
#endif

        include "vectors.inc"

start:
        bsf     STATUS, RP0
        call    0x3FF           ; factory calibration: RETLW k
        movwf   OSCCAL
#ifdef HAS_ANSEL
        clrf    ANSEL           ; digital inputs
#endif
        bcf     LED_TRIS, 0     ; LED pin drives
        clrf    EEADR           ; blink delay from EEPROM cell 0
        bsf     EECON1, RD
        movf    EEDATA, W
        bcf     STATUS, RP0
        movwf   delay_count
        movlw   0x07            ; comparator off
        movwf   CMCON

        include "blink_loop.inc"

        ; Stands in for the factory value; the programmer keeps the chip's own.
        ; (The assembler knows the word as the chip's and warns about it.)
        errorlevel -220
        org     0x03FF
        retlw   0x80

        org     0x2100
        de      d'5', "BLINK", 0

        end
