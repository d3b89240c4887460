-- params: Parametro_Sistema_ID
-- The value of a system parameter. An unknown code answers no row.
CREATE PROCEDURE SP_VLM_CON_PARAMETRO_SISTEMA(IN p_Parametro_Sistema_ID INT)
  READS SQL DATA
BEGIN
  SELECT p.PARAMETRO AS PARAMETRO
    FROM PARAMETRO_SISTEMA p
   WHERE p.PARAMETRO_SISTEMA_ID = p_Parametro_Sistema_ID;
END
